// The INI text document under forced faults: file sizes it cannot hold,
// refused memory, short reads and writes.
#include "ini_text.h"
#include "standin_control.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

const std::string kAutorun = "[autorun]\r\nopen=kelmora.exe page.htm\r\n";

void ExpectEmpty(const IniText& doc) {
    EXPECT_EQ(doc.data, (char*)0);
    EXPECT_EQ(doc.cursor, (char*)0);
    EXPECT_EQ(doc.length, 0);
    EXPECT_EQ(doc.capacity, 0u);
}

// Lifts every fault, also when a test fails half way.
class IniTextFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(site.Write("a.inf", kAutorun));
        path = site.Path("a.inf");
        handles = Standin_OpenHandles();
    }
    void TearDown() override {
        Standin_RefuseAllocationAfter(-1);
        Standin_LimitNextRead(-1);
        Standin_LimitNextWrite(-1);
        EXPECT_EQ(Standin_OpenHandles(), handles);
    }
    TestSite site;
    std::string path;
    int handles;
};

TEST_F(IniTextFaults, LoadRefusesSizesItCannotHold) {
    const DWORD sizes[] = {INVALID_FILE_SIZE, 0xFFFFFFFEu, 0x80000000u, 0x7FFFFFFFu};
    for (size_t i = 0; i < sizeof sizes / sizeof sizes[0]; i++) {
        IniText doc;
        ASSERT_TRUE(doc.Load(path.c_str()));
        ASSERT_TRUE(doc.FindSection("autorun"));
        Standin_OverrideNextFileSize(sizes[i]);
        EXPECT_FALSE(doc.Load(path.c_str())) << "size " << sizes[i];
        ExpectEmpty(doc);
    }

    // Refused before any memory is asked for: the one allocation allowed
    // is still there for the load after it.
    IniText again;
    Standin_RefuseAllocationAfter(1);
    Standin_OverrideNextFileSize(INVALID_FILE_SIZE);
    EXPECT_FALSE(again.Load(path.c_str()));
    Standin_OverrideNextFileSize(0x7FFFFFFFu);
    EXPECT_FALSE(again.Load(path.c_str()));
    EXPECT_TRUE(again.Load(path.c_str()));
    Standin_RefuseAllocationAfter(-1);

    // A size larger than the bytes there: the read falls short.
    IniText doc;
    Standin_OverrideNextFileSize(DWORD(kAutorun.size() + 1));
    EXPECT_FALSE(doc.Load(path.c_str()));
    ExpectEmpty(doc);
}

TEST_F(IniTextFaults, LoadFailsOnAShortReadOrRefusedMemory) {
    IniText doc;
    Standin_LimitNextRead(long(kAutorun.size()) - 1);
    EXPECT_FALSE(doc.Load(path.c_str()));
    ExpectEmpty(doc);

    Standin_RefuseAllocationAfter(0);
    EXPECT_FALSE(doc.Load(path.c_str()));
    ExpectEmpty(doc);

    // Load makes one allocation, and the section search that follows none.
    Standin_RefuseAllocationAfter(1);
    ASSERT_TRUE(doc.Load(path.c_str()));
    ASSERT_TRUE(doc.FindSection("autorun"));
    char value[MAX_PATH];
    EXPECT_TRUE(doc.GetValue("open", value, sizeof value));
    EXPECT_STREQ(value, "kelmora.exe page.htm");
}

TEST_F(IniTextFaults, ReplaceValueWithoutMemoryChangesNothing) {
    IniText doc;
    ASSERT_TRUE(doc.Load(path.c_str()));
    ASSERT_TRUE(doc.FindSection("autorun"));
    char* data = doc.data;
    char* cursor = doc.cursor;
    unsigned capacity = doc.capacity;

    Standin_RefuseAllocationAfter(0);
    EXPECT_FALSE(doc.ReplaceValue("open", "kelmora.exe other.htm -i"));
    EXPECT_EQ(doc.data, data);
    EXPECT_EQ(doc.cursor, cursor);
    EXPECT_EQ(doc.capacity, capacity);
    EXPECT_EQ(std::string(doc.data, size_t(doc.length)), kAutorun);
    char value[MAX_PATH];
    EXPECT_TRUE(doc.GetValue("open", value, sizeof value));
    EXPECT_STREQ(value, "kelmora.exe page.htm");

    // A shorter value needs no memory.
    EXPECT_TRUE(doc.ReplaceValue("open", "k.exe"));
    EXPECT_TRUE(doc.GetValue("open", value, sizeof value));
    EXPECT_STREQ(value, "k.exe");

    Standin_RefuseAllocationAfter(-1);
    EXPECT_TRUE(doc.ReplaceValue("open", "kelmora.exe other.htm -i"));
    EXPECT_TRUE(doc.GetValue("open", value, sizeof value));
    EXPECT_STREQ(value, "kelmora.exe other.htm -i");
}

TEST_F(IniTextFaults, CStrWithoutMemoryStillGivesAnEmptyText) {
    IniText doc;
    Standin_RefuseAllocationAfter(0);
    const char* text = doc.CStr();
    ASSERT_NE(text, (const char*)0);
    EXPECT_STREQ(text, "");
    EXPECT_FALSE(doc.MakeRoom(1));
    EXPECT_FALSE(doc.FindSection("autorun"));
    ExpectEmpty(doc);
    char buffer[8] = "junk";
    EXPECT_FALSE(doc.GetValue("open", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    strcpy(buffer, "junk");
    EXPECT_FALSE(doc.GetSectionText(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
}

TEST_F(IniTextFaults, AShortWriteLeavesNoFile) {
    IniText doc;
    ASSERT_TRUE(doc.Load(path.c_str()));
    Standin_LimitNextWrite(5);
    EXPECT_FALSE(doc.Save(site.Path("out.inf").c_str()));
    EXPECT_FALSE(site.Exists("out.inf"));

    // Replacing an existing file and falling short removes it as well.
    Standin_LimitNextWrite(long(kAutorun.size()) - 1);
    EXPECT_FALSE(doc.Save(path.c_str()));
    EXPECT_FALSE(site.Exists("a.inf"));
}

}  // namespace
