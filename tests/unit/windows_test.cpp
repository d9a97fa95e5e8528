/*******************************************************************************************
*  windows_test.cpp — what only Windows (here: Wine) can show of the platform layer
*
*  Built for the Windows preset only. The command lines our starts produce, read back by the
*  system's own parser (tar.exe's through the ANSI code page); and removal through a junction,
*  the link kind the standard library does not recognise.
*******************************************************************************************/
#include <windows.h>
#include <shellapi.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fs = std::filesystem;
using namespace vlr::platform;

namespace {

std::wstring wide(const std::string& utf8) {
    std::wstring out(utf8.size(), L'\0');
    out.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                                   static_cast<int>(out.size())));
    return out;
}

// A junction (mount point) at `link` to the absolute folder `target`.
bool makeJunction(const fs::path& link, const fs::path& target) {
    if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
    HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const std::wstring print = target.wstring();
    const std::wstring substitute = L"\\??\\" + print;
    std::vector<WORD> buffer(8 + substitute.size() + print.size() + 2, 0);
    DWORD* head = reinterpret_cast<DWORD*>(buffer.data());
    head[0] = IO_REPARSE_TAG_MOUNT_POINT;
    const WORD subBytes = static_cast<WORD>(substitute.size() * 2), printBytes = static_cast<WORD>(print.size() * 2);
    buffer[2] = static_cast<WORD>(8 + subBytes + 2 + printBytes + 2);  // data length
    buffer[4] = 0;                                                     // substitute offset
    buffer[5] = subBytes;
    buffer[6] = static_cast<WORD>(subBytes + 2);  // print offset
    buffer[7] = printBytes;
    std::copy(substitute.begin(), substitute.end(), buffer.begin() + 8);
    std::copy(print.begin(), print.end(), buffer.begin() + 8 + substitute.size() + 1);
    DWORD returned = 0;
    const BOOL made = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(), 8u + buffer[2], nullptr, 0,
                                      &returned, nullptr);
    CloseHandle(handle);
    return made != FALSE;
}

}  // namespace

TEST(WindowsCommandLine, ReadsBackWhatWeQuote) {
    const std::vector<std::string> args = {
        "C:\\Program Files\\python.exe", "", "a b", "ends in\\", "ends in two\\\\", "C:\\",
        "say \"hi\"", "\\\"", "\\\\\"x\\\\", "tab\there", "\xc3\xa9t\xc3\xa9"};
    // A first element that is a program name is read by other rules; start with a plain one.
    std::vector<std::string> all = {"program"};
    all.insert(all.end(), args.begin(), args.end());
    int count = 0;
    wchar_t** read = CommandLineToArgvW(wide(quoteCommandLine(all)).c_str(), &count);
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(count, static_cast<int>(all.size())) << quoteCommandLine(all);
    for (std::size_t i = 1; i < all.size(); ++i) EXPECT_EQ(std::wstring(read[i]), wide(all[i])) << all[i];
    LocalFree(read);
}

// tar.exe reads the ANSI form of its command line: what does not survive that trip reaches it
// as '?' or a look-alike letter.
TEST(WindowsTarCommandLine, NonAsciiFolderGivesRelativeNamesThatSurviveTheAnsiLine) {
    const std::string work = "C:\\Users\\\xc5\x81ukasz \xd0\x94\xd0\xbc\xd0\xb8\xd1\x82\xd1\x80\xd0\xb8\xd0\xb9\\Downloads";
    const std::string line =
        tarCommandLine("C:\\windows\\system32", work + "\\source.zip.part", work + "\\source.unpacking", work);
    ASSERT_FALSE(line.empty());
    const std::wstring wideLine = wide(line);
    std::string ansi(wideLine.size() * 2 + 1, '\0');
    ansi.resize(WideCharToMultiByte(CP_ACP, 0, wideLine.c_str(), static_cast<int>(wideLine.size()), ansi.data(),
                                    static_cast<int>(ansi.size()), nullptr, nullptr));
    EXPECT_EQ(ansi, line) << "lost on the ANSI command line";
    int count = 0;
    wchar_t** read = CommandLineToArgvW(wideLine.c_str(), &count);
    ASSERT_NE(read, nullptr);
    std::vector<std::wstring> args(read, read + count);
    LocalFree(read);
    EXPECT_EQ(args, (std::vector<std::wstring>{L"C:\\windows\\system32\\tar.exe", L"-xf", L"source.zip.part", L"-C",
                                                L"source.unpacking"}));

    // Outside the work folder a path goes whole only when nothing of it can be lost.
    EXPECT_EQ(tarCommandLine("C:\\windows\\system32", "D:\\a.zip", work + "2\\x", work), "")
        << "a sibling folder with a longer name is not inside";
    EXPECT_EQ(tarCommandLine("C:\\windows\\system32", "D:\\a.zip", "C:\\", "C:\\"),
              "\"C:\\windows\\system32\\tar.exe\" -xf \"D:\\a.zip\" -C \".\"");
}

TEST(WindowsRemoveTree, JunctionsAreRemovedNotEntered) {
    const fs::path root = fs::temp_directory_path() / ("vlr-junction-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(root);
    fs::create_directories(root / "users-own");
    std::ofstream(root / "users-own" / "keep.txt") << "mine";
    fs::create_directories(root / "source" / "deep");
    if (!makeJunction(root / "source" / "deep" / "link", root / "users-own")) {
        fs::remove_all(root / "source");
        fs::remove_all(root);
        GTEST_SKIP() << "this system makes no junctions";
    }
    ASSERT_TRUE(fs::exists(root / "source" / "deep" / "link" / "keep.txt")) << "the junction leads to the folder";
    std::ofstream(root / "source" / "file.txt") << "ours";

    EXPECT_TRUE(removeTree((root / "source").string()));
    EXPECT_FALSE(fs::exists(root / "source"));
    EXPECT_TRUE(fs::exists(root / "users-own" / "keep.txt")) << "removal went through the junction";
    fs::remove_all(root);
}
