// The real program's first use under the tests' X server, driven through X
// input as a person drives it (pointer taps, typed keys): the package is
// installed on an empty device root as `make run` installs it; with no
// account the account list comes up by itself; an account is made through
// the name page and the account sheet against the tests' dovecot (POP3 over
// TLS) and postfix; a classification rule files one sender's mail into a
// folder chosen from the tree; a receive from the frame's menu fetches the
// waiting mail, and the filed one is seen in its folder's mail list. Every
// step is kept as a PNG read back from the X server.
#include <dlfcn.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "platform/base/WideText.h"
#include "platform/imaging/Imaging.h"
#include "tests/app/support/ProgramRoot.h"
#include "tests/platform/display/DisplayTest.h"
#include "tests/support/DovecotPeer.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

bool Within(std::chrono::seconds limit, const std::function<bool()>& done) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The X server's own input, as from a pointer and a keyboard (XTEST).
class XInput {
 public:
  XInput() {
    lib_ = dlopen("libXtst.so.6", RTLD_NOW);
    if (lib_) {
      motion_ = reinterpret_cast<Motion>(dlsym(lib_, "XTestFakeMotionEvent"));
      button_ = reinterpret_cast<Button>(dlsym(lib_, "XTestFakeButtonEvent"));
      key_ = reinterpret_cast<KeyFn>(dlsym(lib_, "XTestFakeKeyEvent"));
    }
    display_ = XOpenDisplay(nullptr);
    // A window that went between finding it and using it is no reason to end the test program.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  ~XInput() {
    if (display_) XCloseDisplay(display_);
    if (lib_) dlclose(lib_);
  }
  bool Ready() const { return display_ && motion_ && button_ && key_; }
  // A tap at a point of the program's window.
  void Tap(Window w, int x, int y) {
    // Over the tests' own window, if one is up: the tap lands on the program.
    XRaiseWindow(display_, w);
    XSync(display_, False);
    int sx = 0, sy = 0;
    Window child = 0;
    XTranslateCoordinates(display_, w, DefaultRootWindow(display_), x, y, &sx, &sy, &child);
    motion_(display_, DefaultScreen(display_), sx, sy, 0);
    button_(display_, 1, True, 0);
    button_(display_, 1, False, 30);
    XSync(display_, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
  void Key(KeySym sym, bool shift = false) {
    const KeyCode code = XKeysymToKeycode(display_, sym);
    const KeyCode shiftCode = XKeysymToKeycode(display_, XK_Shift_L);
    if (shift) key_(display_, shiftCode, True, 0);
    key_(display_, code, True, 0);
    key_(display_, code, False, 10);
    if (shift) key_(display_, shiftCode, False, 0);
    XSync(display_, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  }
  void Type(const std::string& text) {
    for (char c : text) {
      const KeySym sym = c == '@' ? XK_at : c == '.' ? XK_period : c == '-' ? XK_minus : static_cast<KeySym>(c);
      const KeyCode code = XKeysymToKeycode(display_, sym);
      // Shifted when the key's plain symbol is another one.
      const bool shift = XkbKeycodeToKeysymOr(code) != sym;
      Key(sym, shift);
    }
  }
  Display* display() const { return display_; }

 private:
  KeySym XkbKeycodeToKeysymOr(KeyCode code) {
    int per = 0;
    KeySym* syms = XGetKeyboardMapping(display_, code, 1, &per);
    const KeySym plain = syms && per > 0 ? syms[0] : NoSymbol;
    if (syms) XFree(syms);
    return plain;
  }
  using Motion = int (*)(Display*, int, int, int, unsigned long);
  using Button = int (*)(Display*, unsigned, Bool, unsigned long);
  using KeyFn = int (*)(Display*, unsigned, Bool, unsigned long);
  void* lib_ = nullptr;
  Motion motion_ = nullptr;
  Button button_ = nullptr;
  KeyFn key_ = nullptr;
  Display* display_ = nullptr;
};

Window WindowOfProcess(Display* d, pid_t pid) {
  const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", True);
  if (pidAtom == 0) return 0;
  Window root = DefaultRootWindow(d), parent = 0, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (!XQueryTree(d, root, &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                           &data) == Success &&
        data && items == 1 && static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data)) == pid) {
      found = children[i];
    }
    if (data) XFree(data);
  }
  if (children) XFree(children);
  return found;
}

// The program's window as the X server shows it, kept as a PNG.
void Keep(Display* d, Window w, const std::string& path) {
  XRaiseWindow(d, w);
  XSync(d, False);
  XWindowAttributes a{};
  XGetWindowAttributes(d, w, &a);
  XImage* image = XGetImage(d, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!image) return;
  std::vector<DWORD> pixels;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
  }
  XDestroyImage(image);
  BitmapData data{static_cast<UINT>(a.width), static_cast<UINT>(a.height), a.width * 4, PixelFormat32bppRGB,
                  pixels.data(), 0};
  std::vector<BYTE> png;
  qv::EncodePng(data, &png);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

// Pixels of the program's window in rows [top, bottom) that are not white.
int Inked(Display* d, Window w, int top, int bottom) {
  XWindowAttributes a{};
  XGetWindowAttributes(d, w, &a);
  XImage* image = a.width > 0 ? XGetImage(d, w, 0, top, a.width, bottom - top, AllPlanes, ZPixmap) : nullptr;
  if (!image) return 0;
  int n = 0;
  for (int y = 0; y < bottom - top; ++y) {
    for (int x = 0; x < a.width; ++x) n += (XGetPixel(image, x, y) & 0xFFFFFF) != 0xFFFFFF;
  }
  XDestroyImage(image);
  return n;
}

// The message count of the account's receive box and of each folder below it, by name.
std::map<std::wstring, size_t> MessagesByFolder(const std::wstring& name) {
  std::map<std::wstring, size_t> counts;
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(name, L""));
  QvAccountInfoInterface::Attributes s;
  s.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
  if (!account || !account->GetAccountInfoAttributes(&s)) return counts;
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  std::unique_ptr<QvFolderInterface> box(storage ? storage->OpenFolder(s.ulJusinTrayID) : nullptr);
  std::vector<unsigned long> ids;
  if (!box || !box->GetFolderIds(&ids)) return counts;
  ids.insert(ids.begin(), s.ulJusinTrayID);
  for (unsigned long id : ids) {
    std::unique_ptr<QvFolderInterface> folder(storage->OpenFolder(id));
    QvFolderInterface::FolderAttributes a;
    a.mask = 1;
    std::vector<unsigned long> messages;
    // The box itself is not among its own children: it is named by its place.
    if (id == s.ulJusinTrayID) a.name = L"(box)";
    else if (!box->ReadFolderAttributes(id, &a)) continue;
    if (folder && folder->GetMessageIds(&messages)) counts[a.name] = messages.size();
  }
  return counts;
}

class AccountSetupRun : public qv::test::DisplayTest {
 protected:
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    DisplayTest::TearDown();
  }
  // `ca`: the device's trust store holds the tests' CA (OpenSSL's own default file).
  void Start(const std::string& ca) {
    const char* dir = std::getenv("QV_BINARY_DIR");
    std::string program = std::string(dir && *dir ? dir : ".") + "/app/QvMail";
    log_ = root_ + "/run.log";
    std::vector<std::string> env = {"QVMAIL_DEVICE_ROOT=" + root_, "QVMAIL_DEBUG=" + log_, "SSL_CERT_FILE=" + ca};
    for (char** e = environ; *e; ++e) {
      const std::string v = *e;
      if (v.rfind("QVMAIL_DEVICE_ROOT=", 0) != 0 && v.rfind("QVMAIL_DEBUG=", 0) != 0 && v.rfind("SSL_CERT_FILE=", 0) != 0) {
        env.push_back(v);
      }
    }
    std::vector<char*> a = {program.data(), nullptr}, e;
    for (std::string& s : env) e.push_back(s.data());
    e.push_back(nullptr);
    ASSERT_EQ(posix_spawn(&pid_, program.c_str(), nullptr, nullptr, a.data(), e.data()), 0);
  }
  // The package's installer on the test's device root; its exit code.
  int Install() {
    const char* dir = std::getenv("QV_BINARY_DIR");
    std::string installer = std::string(dir && *dir ? dir : ".") + "/setup/QvMailInstall";
    std::string rootVar = "QVMAIL_DEVICE_ROOT=" + root_;
    std::vector<char*> a = {installer.data(), nullptr}, e = {rootVar.data(), nullptr};
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, installer.c_str(), nullptr, nullptr, a.data(), e.data()) != 0) return -1;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  bool Up(const wchar_t* title) {
    return Within(std::chrono::seconds(30), [&] { return FindWindowW(nullptr, title) != nullptr; });
  }
  bool Gone(const wchar_t* title) {
    return Within(std::chrono::seconds(30), [&] { return FindWindowW(nullptr, title) == nullptr; });
  }
  void Shot(const std::string& name) {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the last paint reaches the X server
    Keep(input_.display(), Current(), OutputPath(name));
  }
  // The program's window as it is now (the display may make it anew).
  Window Current() {
    if (Window w = WindowOfProcess(input_.display(), pid_)) window_ = w;
    return window_;
  }
  void TapType(int x, int y, const std::string& text) {
    input_.Tap(Current(), x, y);
    input_.Type(text);
  }

  XInput input_;
  pid_t pid_ = -1;
  Window window_ = 0;
  std::string log_;
};

TEST_F(AccountSetupRun, AnAccountMadeThroughTheSheetsReceivesOverTls) {
  if (IsSkipped()) return;
  ASSERT_TRUE(input_.Ready()) << "the X server's test input (XTEST) is not there";
  qv::test::DovecotPeer& pop = qv::test::DovecotPeer::Shared();
  ASSERT_TRUE(pop.Ready()) << pop.Error();
  const std::string user = pop.NewMailbox();
  pop.AddMessage(user, "From: sender@example.com\r\nTo: " + user +
                           "@example.com\r\nSubject: =?ISO-2022-JP?B?GyRCJDMkcyRLJEEkTxsoQg==?=\r\n"
                           "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n\x1b$B$3$s$K$A$O\x1b(B\r\n");
  // The one the rule files away.
  pop.AddMessage(user, "From: filed@example.org\r\nTo: " + user + "@example.com\r\nSubject: filed mail\r\n\r\nbody\r\n");
  // An empty device root: the package is installed as `make run` installs it.
  ASSERT_EQ(Install(), 0);
  Start(pop.CaFile());

  // No account: the account list comes up by itself, with its notice.
  ASSERT_TRUE(Up(L"アカウント一覧")) << ReadFile(log_);
  ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return (window_ = WindowOfProcess(input_.display(), pid_)) != 0; }));
  // The notice that there is no account, when it is up, is taken with Enter.
  const bool notice = Within(std::chrono::seconds(5), [] { return FindWindowW(nullptr, L"お知らせ") != nullptr; });
  Shot("setup-1-no-account.png");
  if (notice) {
    input_.Tap(Current(), 240, 60);  // the pointer over the program: the keys go to it
    input_.Key(XK_Return);
    ASSERT_TRUE(Gone(L"お知らせ"));
  }

  // New: the name, then the account sheet's three pages.
  input_.Tap(Current(), 124, 640);  // 新規作成
  ASSERT_TRUE(Up(L"アカウント名入力"));
  input_.Type("dovecot");
  Shot("setup-2-name.png");
  input_.Tap(Current(), 120, 773);  // 次へ
  ASSERT_TRUE(Up(L"設定：dovecot")) << ReadFile(log_);
  TapType(242, 120, "Taro");
  TapType(242, 204, user + "@example.com");
  TapType(242, 345, "localhost");
  TapType(242, 431, "localhost");
  TapType(242, 514, user);
  TapType(242, 600, pop.Password());
  input_.Tap(Current(), 30, 655);  // save the password
  Shot("setup-3-main-page.png");
  input_.Tap(Current(), 182, 720);  // 詳細設定
  input_.Tap(Current(), 460, 87);
  for (int i = 0; i < 5; ++i) input_.Key(XK_BackSpace);
  input_.Type(std::to_string(pop.PlainPort()));  // the plain listener, which the client raises to TLS (STLS)
  input_.Tap(Current(), 30, 244);  // SSL/TLS
  Shot("setup-4-detail-page.png");
  input_.Tap(Current(), 306, 720);  // 接続/受信
  Shot("setup-5-connection-page.png");
  input_.Tap(Current(), 120, 773);  // OK
  ASSERT_TRUE(Gone(L"設定：dovecot")) << ReadFile(log_);
  Shot("setup-6-account-list.png");
  input_.Tap(Current(), 425, 28);  // the list's OK
  ASSERT_TRUE(Gone(L"アカウント一覧"));
  ASSERT_TRUE(Within(std::chrono::seconds(30), [&] {
    return ReadFile(log_).find("QvMail: launcher shown") != std::string::npos;
  })) << ReadFile(log_);
  // The new account's four boxes stand above the three fixed rows, down to the launcher's seventh row.
  // The list's own rows may still be on the screen for a moment: the picture must have settled.
  EXPECT_TRUE(Within(std::chrono::seconds(20), [&] {
    const int before = Inked(input_.display(), Current(), 240, 370);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return before > 300 && Inked(input_.display(), Current(), 240, 370) == before;
  }));
  Shot("setup-7-launcher.png");

  // The frame's menu: the classification rules.
  input_.Tap(Current(), 360, 773);  // メニュー
  input_.Tap(Current(), 360, 601);  // 振り分け設定...
  ASSERT_TRUE(Up(L"振り分け設定：dovecot")) << ReadFile(log_);
  Shot("setup-8-rules.png");
  input_.Tap(Current(), 399, 82);  // 新規
  Shot("setup-8a-new.png");
  TapType(320, 86, "filed");
  TapType(320, 190, "filed@example.org");
  Shot("setup-9-rule.png");
  input_.Tap(Current(), 395, 412);  // 選択...
  Shot("setup-10-chooser.png");
  input_.Tap(Current(), 443, 181);  // the receive box's folder tree
  Shot("setup-11-tree.png");
  input_.Tap(Current(), 230, 291);  // フォルダ2
  Shot("setup-12-chosen.png");
  input_.Tap(Current(), 120, 773);  // the chooser's OK
  Shot("setup-13-rule-filled.png");
  input_.Tap(Current(), 120, 773);  // the editor's OK
  Shot("setup-14-rule-list.png");
  input_.Tap(Current(), 120, 773);  // the rule list's OK: the rules are stored
  ASSERT_TRUE(Gone(L"振り分け設定：dovecot")) << ReadFile(log_);

  // Receive: the server logs the account's login over TLS and the mail fetched.
  input_.Tap(Current(), 360, 773);  // メニュー
  input_.Tap(Current(), 360, 379);  // 受信
  const bool fetched = Within(std::chrono::seconds(60), [&] {
    const std::string log = pop.Log();
    return log.find("Login: user=<" + user + ">") != std::string::npos && log.find(", TLS,") != std::string::npos &&
           log.find("retr=2/") != std::string::npos;
  });
  ASSERT_TRUE(fetched) << ReadFile(log_) << pop.Log();
  ASSERT_TRUE(Up(L"お知らせ"));
  Shot("setup-15-received.png");
  input_.Key(XK_Return);
  ASSERT_TRUE(Gone(L"お知らせ"));
  input_.Tap(Current(), 100, 70);  // 受信ﾎﾞｯｸｽ
  Shot("setup-16-receive-box.png");
  input_.Tap(Current(), 100, 219);  // ﾌｫﾙﾀﾞ2: its mail list
  ASSERT_TRUE(Up(L"ﾌｫﾙﾀﾞ2")) << ReadFile(log_);
  Shot("setup-17-filed-mail.png");
  std::ofstream(OutputPath("setup-run.log"), std::ios::binary) << ReadFile(log_);
  // In the store: the rule's mail in ﾌｫﾙﾀﾞ2, the other in the receive folder.
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  EXPECT_EQ(MessagesByFolder(L"dovecot"), (std::map<std::wstring, size_t>{
                                              {L"(box)", 1}, {L"ﾌｫﾙﾀﾞ1", 0}, {L"ﾌｫﾙﾀﾞ2", 1}, {L"ﾌｫﾙﾀﾞ3", 0}}));
  // The password typed into the sheet never reaches the program's log.
  EXPECT_EQ(ReadFile(log_).find(pop.Password()), std::string::npos);
}

}  // namespace
