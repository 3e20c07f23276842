#include "byte_buffer.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#ifndef _WIN32
#include <unistd.h>

#include "standin_control.h"
#endif

namespace {

std::string Content(const ByteBuffer& b) { return b.length ? std::string(b.data, size_t(b.length)) : ""; }

void Fill(ByteBuffer& b, const std::string& bytes) { ASSERT_TRUE(b.Assign(bytes.data(), int(bytes.size()))); }

TEST(ByteBufferGrowth, DoublesFrom512AndStopsWhereRequested) {
    ByteBuffer b;
    EXPECT_EQ(b.data, (char*)0);
    ASSERT_TRUE(b.MakeRoom(12600));
    EXPECT_EQ(b.capacity, 16384);

    ByteBuffer c;
    ASSERT_TRUE(c.SetLength(500));
    EXPECT_EQ(c.capacity, 512);
    ASSERT_TRUE(c.MakeRoom(12));  // exactly fits
    EXPECT_EQ(c.capacity, 512);
    ASSERT_TRUE(c.MakeRoom(13));
    EXPECT_EQ(c.capacity, 1024);
    EXPECT_EQ(c.length, 500);

    ByteBuffer d;
    ASSERT_TRUE(d.MakeRoom(0));
    ASSERT_TRUE(d.MakeRoom(-5));
    EXPECT_EQ(d.capacity, 0);
    ASSERT_TRUE(d.SetLength(-3));
    EXPECT_EQ(d.length, 0);
}

TEST(ByteBufferGrowth, NeverPassesTheLimitOrOverflows) {
    ByteBuffer b;
    EXPECT_FALSE(b.MakeRoom(ByteBuffer::kMaxCapacity + 1));
    EXPECT_FALSE(b.MakeRoom(0x7FFFFFFF));
    EXPECT_EQ(b.capacity, 0);
    EXPECT_EQ(b.data, (char*)0);
    ASSERT_TRUE(b.SetLength(10));
    EXPECT_FALSE(b.MakeRoom(0x7FFFFFFF));  // length + extra would wrap
    EXPECT_EQ(b.capacity, 512);
    EXPECT_EQ(b.length, 10);
}

TEST(ByteBufferText, AssignAppendAndCStr) {
    ByteBuffer b;
    const char* empty = b.CStr();
    EXPECT_STREQ(empty, "");
    EXPECT_EQ(b.capacity, 512);
    EXPECT_EQ(b.length, 0);

    ASSERT_TRUE(b.AssignString("head"));
    ASSERT_TRUE(b.AppendLine("line"));
    ASSERT_TRUE(b.Append("tail"));
    EXPECT_EQ(Content(b), "headline\r\ntail");
    EXPECT_STREQ(b.CStr(), "headline\r\ntail");
    EXPECT_EQ(b.length, 14);

    ASSERT_TRUE(b.Assign("x", 0));
    EXPECT_EQ(b.data, (char*)0);
    EXPECT_EQ(b.capacity, 0);
}

TEST(ByteBufferReplace, FirstOccurrenceOnly) {
    ByteBuffer b;
    Fill(b, "a[P]b[P]c");
    ASSERT_TRUE(b.Replace("[P]", "<msg>", false));
    EXPECT_EQ(Content(b), "a<msg>b[P]c");

    Fill(b, "nothing here");
    ASSERT_TRUE(b.Replace("[P]", "x", false));
    EXPECT_EQ(Content(b), "nothing here");
    EXPECT_EQ(b.data[b.length], 0);
}

TEST(ByteBufferReplace, AllWithReplacementContainingPatternEnds) {
    ByteBuffer b;
    Fill(b, "xxx");
    ASSERT_TRUE(b.Replace("x", "xx", true));
    EXPECT_EQ(Content(b), "xxxxxx");

    Fill(b, "abcabcab");
    ASSERT_TRUE(b.Replace("abc", "", true));  // empty replacement deletes
    EXPECT_EQ(Content(b), "ab");

    Fill(b, "aaaa");
    ASSERT_TRUE(b.Replace("aa", "b", true));  // left to right, no overlap
    EXPECT_EQ(Content(b), "bb");
}

TEST(ByteBufferReplace, EdgeCasesOfStorage) {
    ByteBuffer none;
    ASSERT_TRUE(none.Replace("", "x", true));  // empty pattern: nothing at all
    EXPECT_EQ(none.data, (char*)0);
    ASSERT_TRUE(none.Replace("p", "x", true));  // no storage: gets 512 and a terminator
    EXPECT_EQ(none.capacity, 512);
    EXPECT_EQ(none.length, 0);
    EXPECT_EQ(none.data[0], 0);

    ByteBuffer b;
    Fill(b, std::string(600, 'y') + "LONGPATTERN" + "z");
    char* before = b.data;
    int capacity = b.capacity;
    ASSERT_TRUE(b.Replace("LONGPATTERN", "s", false));
    EXPECT_EQ(b.data, before);  // shrinking never reallocates
    EXPECT_EQ(b.capacity, capacity);
    EXPECT_EQ(Content(b), std::string(600, 'y') + "sz");
}

TEST(ByteBufferReplace, NoSearchPastEmbeddedNul) {
    ByteBuffer b;
    Fill(b, std::string("ab\0[P]", 6));
    ASSERT_TRUE(b.Replace("[P]", "X", true));
    EXPECT_EQ(Content(b), std::string("ab\0[P]", 6));
}

TEST(ByteBufferReplace, GrowsAcrossManyOccurrences) {
    ByteBuffer b;
    std::string text, expected;
    for (int i = 0; i < 300; i++) {
        text += "<>";
        expected += "<replacement>";
    }
    Fill(b, text);
    ASSERT_TRUE(b.Replace("<>", "<replacement>", true));
    EXPECT_EQ(Content(b), expected);
    EXPECT_EQ(b.capacity, 4096);
}

TEST(ByteBufferResource, LoadsTheHelpTemplate) {
    ByteBuffer b;
    ASSERT_TRUE(b.LoadFromResource(MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(23)));
    std::string page = Content(b);
    EXPECT_GT(page.size(), 1000u);
    EXPECT_EQ(page.find('\0'), std::string::npos);
    size_t first = page.find("[ErrMsg]");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(page.find("[ErrMsg]", first + 1), std::string::npos);
    EXPECT_NE(page.find("\r\n"), std::string::npos);

    EXPECT_FALSE(b.LoadFromResource(MAKEINTRESOURCEA(999), MAKEINTRESOURCEA(23)));
    EXPECT_EQ(b.data, (char*)0);
    EXPECT_EQ(b.length, 0);
}

TEST(ByteBufferFiles, LoadAndSaveExactBytes) {
    TestSite site;
    std::string bytes("binary\0\r\n\xff data", 16);
    ASSERT_TRUE(site.Write("in.bin", bytes));
    ByteBuffer b;
    ASSERT_TRUE(b.LoadFromFile(site.Path("in.bin").c_str()));
    EXPECT_EQ(Content(b), bytes);

    ASSERT_TRUE(site.Write("out.bin", "an older and longer content"));
    ASSERT_TRUE(b.SaveToFile(site.Path("out.bin").c_str()));
    EXPECT_EQ(site.Read("out.bin"), bytes);

    ByteBuffer empty;
    ASSERT_TRUE(empty.SaveToFile(site.Path("empty.bin").c_str()));
    EXPECT_EQ(site.Read("empty.bin"), "");
    ASSERT_TRUE(b.LoadFromFile(site.Path("empty.bin").c_str()));
    EXPECT_EQ(b.length, 0);
}

TEST(ByteBufferFiles, FailedLoadLeavesNoStorage) {
    TestSite site;
    ByteBuffer b;
    Fill(b, "previous content");
    EXPECT_FALSE(b.LoadFromFile(site.Path("missing.txt").c_str()));
    EXPECT_EQ(b.data, (char*)0);
    EXPECT_EQ(b.length, 0);
    EXPECT_EQ(b.capacity, 0);

    ASSERT_TRUE(site.MakeDir("folder"));
    Fill(b, "previous content");
    EXPECT_FALSE(b.LoadFromFile(site.Path("folder").c_str()));
    EXPECT_EQ(b.data, (char*)0);
}

TEST(ByteBufferFiles, SaveRefusedWhileFileHeldOpenDeletesNothing) {
    TestSite site;
    ASSERT_TRUE(site.Write("help.htm", "old page"));
    HANDLE held = CreateFileA(site.Path("help.htm").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ByteBuffer b;
    Fill(b, "new page");
    EXPECT_FALSE(b.SaveToFile(site.Path("help.htm").c_str()));
    CloseHandle(held);
    EXPECT_EQ(site.Read("help.htm"), "old page");
    EXPECT_EQ(Content(b), "new page");
}

#ifndef _WIN32
// Faults that only the stand-in can produce on demand.

TEST(ByteBufferFaults, ShortReadAndShortWrite) {
    TestSite site;
    ASSERT_TRUE(site.Write("in.txt", "0123456789"));
    ByteBuffer b;
    Standin_LimitNextRead(4);
    EXPECT_FALSE(b.LoadFromFile(site.Path("in.txt").c_str()));
    EXPECT_EQ(b.data, (char*)0);

    Fill(b, "0123456789");
    Standin_LimitNextWrite(3);
    EXPECT_FALSE(b.SaveToFile(site.Path("out.txt").c_str()));
    EXPECT_FALSE(site.Exists("out.txt"));
    EXPECT_EQ(Standin_OpenHandles(), 0);
}

TEST(ByteBufferFaults, FilesBeyondTheLimitAreRefusedWhole) {
    TestSite site;
    ASSERT_TRUE(site.Write("big.bin", "abc"));
    ByteBuffer b;
    Standin_OverrideNextFileSize(DWORD(ByteBuffer::kMaxCapacity) + 1);
    EXPECT_FALSE(b.LoadFromFile(site.Path("big.bin").c_str()));
    EXPECT_EQ(b.data, (char*)0);
    Standin_OverrideNextFileSize(INVALID_FILE_SIZE);
    EXPECT_FALSE(b.LoadFromFile(site.Path("big.bin").c_str()));
    EXPECT_EQ(Standin_OpenHandles(), 0);
}

TEST(ByteBufferFaults, FileOfFourGigabytesAndABitIsNotTruncated) {
    // A sparse file: its low 32 bits of size say 3, the high part says 1.
    TestSite site;
    ASSERT_TRUE(site.Write("huge.bin", ""));
    std::string posix = site.Path("huge.bin").substr(2);
    for (size_t i = 0; i < posix.size(); i++)
        if (posix[i] == '\\') posix[i] = '/';
    ASSERT_EQ(truncate(posix.c_str(), (off_t(1) << 32) + 3), 0);
    ByteBuffer b;
    EXPECT_FALSE(b.LoadFromFile(site.Path("huge.bin").c_str()));
    EXPECT_EQ(b.length, 0);
}

TEST(ByteBufferFaults, AllocationFailureKeepsContentAndFails) {
    ByteBuffer b;
    Fill(b, std::string(500, 'a') + "[P]");
    char* block = b.data;

    Standin_RefuseAllocationAfter(0);
    EXPECT_FALSE(b.Append(std::string(100, 'b').c_str()));
    EXPECT_EQ(b.length, 503);
    EXPECT_EQ(b.data, block);
    EXPECT_FALSE(b.Replace("[P]", std::string(100, 'r').c_str(), true));
    EXPECT_EQ(Content(b), std::string(500, 'a') + "[P]");
    EXPECT_FALSE(b.AppendLine(std::string(9, 'c').c_str()));
    EXPECT_EQ(b.length, 503);
    EXPECT_TRUE(b.Replace("[P]", "ok", true));  // no growth needed
    EXPECT_EQ(Content(b), std::string(500, 'a') + "ok");

    ByteBuffer fresh;
    EXPECT_STREQ(fresh.CStr(), "");
    EXPECT_FALSE(fresh.LoadFromResource(MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(23)));
    EXPECT_EQ(fresh.data, (char*)0);

    TestSite site;
    ASSERT_TRUE(site.Write("in.txt", "some bytes"));
    EXPECT_FALSE(fresh.LoadFromFile(site.Path("in.txt").c_str()));
    EXPECT_EQ(fresh.data, (char*)0);
    EXPECT_EQ(Standin_OpenHandles(), 0);
    Standin_RefuseAllocationAfter(-1);

    // A replacement that needs several growths gives up before editing.
    ByteBuffer many;
    Fill(many, "<><><>");
    Standin_RefuseAllocationAfter(0);
    EXPECT_FALSE(many.Replace("<>", std::string(300, 'q').c_str(), true));
    EXPECT_EQ(Content(many), "<><><>");
    Standin_RefuseAllocationAfter(-1);
}
#endif

}  // namespace
