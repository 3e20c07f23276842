// The autorun reader's resources, watched by the stand-in.
#include "autorun_reader.h"
#include "globals.h"
#include "standin_control.h"
#include "test_site.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

bool AllZero() {
    LaunchRecord zero;
    memset(&zero, 0, sizeof zero);
    return memcmp(&LaunchState, &zero, sizeof zero) == 0;
}

TEST(AutorunReaderResources, NoHandleStaysOpenOnAnyWayOut) {
    const char* files[] = {
        "[autorun]\r\nopen=kelmora.exe\r\n",                // start page found
        "[autorun]\r\nopen=kelmora.exe page.htm -i\r\n",    // page token
        "[autorun]\r\nopen=kelmora.exe -x\r\n",             // B
        "[autorun]\r\nopen=kelmora.exe missing.htm\r\n",    // C
        "[other]\r\nopen=kelmora.exe\r\n",                  // B
    };
    TestSite site;
    site.PlaceExecutable();
    ASSERT_TRUE(site.Write("index.htm", "x"));
    ASSERT_TRUE(site.Write("page.htm", "x"));
    for (size_t i = 0; i < sizeof files / sizeof files[0]; i++) {
        SCOPED_TRACE(files[i]);
        ASSERT_TRUE(site.Write("autorun.inf", files[i]));
        errMsg[0] = 0;
        ReadAutorun();
        EXPECT_EQ(Standin_OpenHandles(), 0);
    }
    // D: the search enumerates and must close its handle too.
    TestSite bare;
    bare.PlaceExecutable();
    ASSERT_TRUE(bare.MakeDir("sub"));
    ASSERT_TRUE(bare.Write("autorun.inf", "[autorun]\r\nopen=kelmora.exe\r\n"));
    errMsg[0] = 0;
    ReadAutorun();
    EXPECT_NE(errMsg[0], 0);
    EXPECT_EQ(Standin_OpenHandles(), 0);
}

TEST(AutorunReaderResources, AFileThatCannotBeHeldInMemoryReadsAsMissing) {
    TestSite site;
    site.PlaceExecutable();
    ASSERT_TRUE(site.Write("index.htm", "x"));
    ASSERT_TRUE(site.Write("autorun.inf", "[autorun]\r\nopen=kelmora.exe -i\r\n"));
    errMsg[0] = 0;
    Standin_RefuseAllocationAfter(0);
    ReadAutorun();
    Standin_RefuseAllocationAfter(-1);
    EXPECT_NE(std::string(errMsg).find("<b>autorun.inf</b> was not found"), std::string::npos);
    EXPECT_TRUE(AllZero());
    EXPECT_EQ(Standin_OpenHandles(), 0);

    // A short read is a failure as well.
    errMsg[0] = 0;
    Standin_LimitNextRead(5);
    ReadAutorun();
    EXPECT_NE(std::string(errMsg).find("<b>autorun.inf</b> was not found"), std::string::npos);
    EXPECT_TRUE(AllZero());
}

}  // namespace
