// Before SDL starts, a process with no session bus to be found has the bus
// address set to "disabled:" (SDL's D-Bus library would otherwise fork a
// bus launcher from the thread that opens the display); a bus the session
// names or keeps in the user's runtime folder is left as it is.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "platform/display/SdlLibrary.h"
#include "tests/support/PeerTools.h"

namespace {

// The variable as it was, put back when the scope ends.
class KeptVariable {
 public:
  explicit KeptVariable(const char* name) : name_(name) {
    if (const char* v = ::getenv(name)) value_ = v;
  }
  ~KeptVariable() { value_ ? ::setenv(name_, value_->c_str(), 1) : ::unsetenv(name_); }
  void Set(const std::optional<std::string>& v) { v ? ::setenv(name_, v->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> value_;
};

TEST(SessionBus, OnlyAProcessWithNoBusToFindHasItsLauncherTurnedOff) {
  const std::string withBus = qv::test::MakePeerFolder("qvbus");
  const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  const std::string path = withBus + "/bus";
  path.copy(a.sun_path, sizeof a.sun_path - 1);
  ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  const std::string withoutBus = qv::test::MakePeerFolder("qvnobus");
  struct Case {
    const char* what;
    std::optional<std::string> address, runtime;
    std::optional<std::string> after;
  };
  const Case cases[] = {
      {"nothing to find", std::nullopt, std::nullopt, "disabled:"},
      {"a runtime folder without a bus", std::nullopt, withoutBus, "disabled:"},
      {"the user's bus socket", std::nullopt, withBus, std::nullopt},
      {"a bus the session names", "unix:path=/run/user/1/bus", withoutBus, "unix:path=/run/user/1/bus"},
      {"a bus turned off already", "disabled:", std::nullopt, "disabled:"},
  };
  KeptVariable address("DBUS_SESSION_BUS_ADDRESS"), runtime("XDG_RUNTIME_DIR");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    address.Set(c.address);
    runtime.Set(c.runtime);
    qv::display::KeepSdlFromLaunchingABus();
    const char* now = ::getenv("DBUS_SESSION_BUS_ADDRESS");
    EXPECT_EQ(now ? std::optional<std::string>(now) : std::nullopt, c.after);
  }
  ::close(s);
}

}  // namespace
