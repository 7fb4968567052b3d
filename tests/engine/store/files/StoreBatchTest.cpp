// The store batch: under it a list, a header cache and the id counter are
// answered from what this thread last read or wrote of them, read afresh
// under the next batch, and a file it keeps open is let go of when the file
// is replaced; a batch that cannot take every mutex holds none.
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "HeaderRecords.h"
#include "StoreFixture.h"
#include "engine/public/foundation/QvNamedMutex.h"
#include "engine/store/QvMessageEntry.h"
#include "engine/store/QvMessageHeader.h"
#include "engine/public/store/QvStoreBatch.h"
#include "platform/base/WinFormat.h"

namespace {

class StoreBatchTest : public StoreFixture {
 protected:
  const std::wstring msg_ = L"\\f.msg";
  const std::wstring fdb_ = L"\\f.fdb";
  void SetUp() override {
    StoreFixture::SetUp();
    WriteBytes(msg_, "");
    WriteBytes(fdb_, EmptyHeaderFile());
  }
  static MessageEntryRecord Line(uint32_t id) { return {0, id, 1, 0}; }
  static std::string Lines(const std::vector<uint32_t>& ids) {
    std::string out;
    for (uint32_t id : ids) out += qv::FormatA("%04X\t1\t0\r\n", id);
    return out;
  }
  static QvMessageHeader::Record Record(uint32_t id) {
    QvMessageHeader::Record r{};
    r.id = id;
    return r;
  }
  std::vector<uint32_t> HeaderIds(uint32_t count) {
    QvMessageHeader fresh;
    EXPECT_EQ(fresh.Open(fdb_), QVMDL_SUCCESS);
    std::vector<QvMessageHeader::Record> records(count);
    EXPECT_TRUE(fresh.LoadAll(records.data(), count)) << std::hex << GetQvMiddleError();
    std::vector<uint32_t> ids;
    for (const auto& r : records) ids.push_back(r.id);
    return ids;
  }
};

// A second list object stands for another process: what it wrote between
// two batches is read by the next one, and the next line goes after it.
TEST_F(StoreBatchTest, AListChangedBetweenBatchesIsReadAgain) {
  QvMessageEntry mine, other;
  ASSERT_EQ(mine.ReadFile(msg_), QVMDL_SUCCESS);
  ASSERT_EQ(other.ReadFile(msg_), QVMDL_SUCCESS);
  {
    QvStoreBatch batch;
    ASSERT_TRUE(batch.Held());
    ASSERT_EQ(mine.Add(Line(1)), QVMDL_SUCCESS);
    ASSERT_EQ(mine.Add(Line(2)), QVMDL_SUCCESS);
    EXPECT_EQ(mine.GetCount(), 2u);
  }
  ASSERT_EQ(other.Add(Line(3)), QVMDL_SUCCESS);
  {
    QvStoreBatch batch;
    ASSERT_TRUE(batch.Held());
    EXPECT_EQ(mine.GetCount(), 3u);
    ASSERT_EQ(mine.Add(Line(4)), QVMDL_SUCCESS);
  }
  EXPECT_EQ(ReadBytes(msg_), Lines({1, 2, 3, 4}));
}

// Inside one batch: the list rewritten through its copy (a removal, a
// changed flag that must rewrite) is written to afterwards by its new file.
TEST_F(StoreBatchTest, AListReplacedInsideABatchTakesTheLaterLines) {
  struct Case {
    const char* what;
    std::function<uint32_t(QvMessageEntry&)> change;
    std::vector<uint32_t> expected;
  };
  const std::vector<Case> cases = {
      {"remove", [](QvMessageEntry& l) { return l.Remove(1); }, {2, 3}},
      {"remove many", [](QvMessageEntry& l) { return l.RemoveMany({1, 2}); }, {3}},
      {"write whole", [](QvMessageEntry& l) { return l.WriteFile(); }, {1, 2, 3}},
      {"replace all", [](QvMessageEntry& l) { return l.ReplaceAll({Line(2)}) ? uint32_t{QVMDL_SUCCESS} : GetQvMiddleError(); }, {2, 3}},
  };
  for (const Case& c : cases) {
    WriteBytes(msg_, "");
    QvMessageEntry list;
    ASSERT_EQ(list.ReadFile(msg_), QVMDL_SUCCESS);
    {
      QvStoreBatch batch;
      ASSERT_TRUE(batch.Held());
      ASSERT_EQ(list.Add(Line(1)), QVMDL_SUCCESS);
      ASSERT_EQ(list.Add(Line(2)), QVMDL_SUCCESS);
      ASSERT_EQ(c.change(list), QVMDL_SUCCESS) << c.what;
      ASSERT_EQ(list.Add(Line(3)), QVMDL_SUCCESS) << c.what;
    }
    EXPECT_EQ(ReadBytes(msg_), Lines(c.expected)) << c.what;
  }
}

// The header cache: records appended under a batch, one marked deleted and
// the file compacted (a copy replaces it), then more appended, and another
// object's append between batches.
TEST_F(StoreBatchTest, HeaderRecordsSurviveCompactionAndOtherWriters) {
  QvMessageHeader mine, other;
  ASSERT_EQ(mine.Open(fdb_), QVMDL_SUCCESS);
  ASSERT_EQ(other.Open(fdb_), QVMDL_SUCCESS);
  {
    QvStoreBatch batch;
    ASSERT_TRUE(batch.Held());
    ASSERT_TRUE(mine.Append(Record(1)));
    ASSERT_TRUE(mine.Append(Record(2)));
    ASSERT_TRUE(mine.MarkDeleted(1));
    ASSERT_TRUE(mine.Compact());
    ASSERT_TRUE(mine.Append(Record(3)));
  }
  EXPECT_EQ(HeaderIds(2), (std::vector<uint32_t>{2, 3}));
  ASSERT_TRUE(other.Append(Record(4)));
  {
    QvStoreBatch batch;
    ASSERT_TRUE(mine.Append(Record(5)));
  }
  EXPECT_EQ(HeaderIds(4), (std::vector<uint32_t>{2, 3, 4, 5}));
}

// Another thread holds one of the store's mutexes: the batch takes none of
// them (another thread can take each), and the store answers as without it.
TEST_F(StoreBatchTest, ABatchThatCannotHaveEveryMutexHoldsNone) {
  for (const wchar_t* busy : {L"QvStorageSet Mutex", L"QvMessageEntry Mutex", L"QvMessageHeader Mutex"}) {
    std::promise<void> taken, done;
    std::thread holder([&] {
      QvNamedMutex mutex(busy);
      QvNamedMutex::Hold hold(mutex);
      taken.set_value();
      done.get_future().wait();
    });
    taken.get_future().wait();
    {
      QvStoreBatch batch;
      EXPECT_FALSE(batch.Held()) << busy;
      EXPECT_EQ(QvStoreBatch::Current(), 0u) << busy;
      std::async(std::launch::async, [&] {
        for (const wchar_t* name : {L"QvStorageSet Mutex", L"QvIdTraits Mutex", L"QvMessageSet MessageEntry Mutex"}) {
          if (std::wstring(name) == busy) continue;
          QvNamedMutex mutex(name);
          HANDLE h = mutex.Handle();
          EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0) << name << " under " << busy;
          ReleaseMutex(h);
        }
      }).get();
    }
    done.set_value();
    holder.join();
  }
  QvStoreBatch batch;
  EXPECT_TRUE(batch.Held());
  EXPECT_NE(QvStoreBatch::Current(), 0u);
}

}  // namespace
