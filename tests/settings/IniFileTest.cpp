#include "settings/IniFile.h"

#include "settings/ConversionSettings.h"
#include "support/PdfWriter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace talvore {
namespace {

using testing::ListFolder;
using testing::ReadWholeFile;
using testing::TemporaryFolder;
using testing::WriteWholeFile;

TEST(ParseProfileInt, ReadsTheLeadingInteger) {
    const struct {
        const char* Text;
        int32_t Value;
    } cases[] = {
        {"42", 42},
        {"  42abc", 42},
        {"\t-7", -7},
        {"+3", 3},
        {"", 0},
        {"abc", 0},
        {"x12", 0},
        {" - 5", 0},
        {"-", 0},
        {"12 34", 12},
        {"007", 7},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999999999", INT_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseProfileInt(c.Text), c.Value) << '"' << c.Text << '"';
}

TEST(IniFile, ReadsKeysWithoutRegardToCase) {
    IniFile ini;
    ASSERT_TRUE(ini.LoadText("[Tips]\nFILEPOS=12x\nTimeStamp= Wed Jun 30 21:49:08 1993 \n"
                             "Empty=\n[other]\nKey=Value with = sign\n"));
    EXPECT_EQ(ini.Integer("tips", "FilePos", 5), 12);
    EXPECT_EQ(ini.Integer("Tips", "Missing", 5), 5);
    EXPECT_EQ(ini.Integer("Nowhere", "FilePos", 5), 5);
    EXPECT_EQ(ini.Integer("Tips", "Empty", 5), 0);
    EXPECT_EQ(ini.Text("TIPS", "timestamp"), "Wed Jun 30 21:49:08 1993");
    EXPECT_EQ(ini.Text("Other", "key"), "Value with = sign");
    EXPECT_EQ(ini.Text("Other", "Nothing"), std::nullopt);
}

TEST(IniFile, LinesTheParserMishandledStayPutOverSaves) {
    const struct {
        const char* Name;
        const char* Text;
        const char* Saved;
    } cases[] = {
        // B was filed under a section named "broken\nB", which every save
        // wrote out as a header one line longer.
        {"unclosed section", "[Mine]\nA=1\n[broken\nB=2\n", "[Mine]\nA=1\nB=2\n"},
        // The mark became part of the key's name, until a save put the key
        // first in the file, where the next load dropped the mark.
        {"byte order mark on a later line",
         "[]\n \xEF\xBB\xBF"
         "B=2\n[Mine]\nA=1\n",
         "B=2\n\n[Mine]\nA=1\n"},
    };
    for (const auto& c : cases) {
        TemporaryFolder folder;
        const std::string path = folder / "Settings.ini";
        ASSERT_TRUE(WriteWholeFile(path, c.Text));
        for (int save = 0; save < 3; ++save) {
            IniFile ini;
            ASSERT_TRUE(ini.Load(path));
            EXPECT_EQ(ini.Integer("Mine", "A", 0), 1) << c.Name;
            ASSERT_TRUE(ini.Save()) << ini.LastError();
            EXPECT_EQ(ReadWholeFile(path), c.Saved) << c.Name << ", save " << save;
        }
    }
}

TEST(IniFile, SetKeepsCommentsOtherKeysAndOrder) {
    TemporaryFolder folder;
    const std::string path = folder / "Settings.ini";
    ASSERT_TRUE(WriteWholeFile(path, "; written by hand\n"
                                     "[Tips]\n"
                                     "TipOfDay=0\n"
                                     "; the place in tips.txt\n"
                                     "FilePos=10\n"
                                     "\n"
                                     "[Mine]\n"
                                     "A=1\n"));
    IniFile ini;
    ASSERT_TRUE(ini.Load(path));
    ini.Set("tips", "filepos", "99\nInjected=1");
    ini.SetInteger("New", "Value", -4);
    ASSERT_TRUE(ini.Save()) << ini.LastError();
    // The parser sets a comment off from what precedes and follows it.
    EXPECT_EQ(ReadWholeFile(path), "; written by hand\n"
                                   "\n"
                                   "[Tips]\n"
                                   "TipOfDay=0\n"
                                   "\n"
                                   "; the place in tips.txt\n"
                                   "FilePos=99\n"
                                   "\n"
                                   "[Mine]\n"
                                   "A=1\n"
                                   "\n"
                                   "[New]\n"
                                   "Value=-4\n");
}

TEST(IniFile, PermissionsAndLinksOfTheOldFileSurvive) {
    TemporaryFolder folder;
    const std::string target = folder / "kept.ini";
    const std::string link = folder / "Settings.ini";
    ASSERT_TRUE(WriteWholeFile(target, "[A]\nB=1\n"));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink("kept.ini", link.c_str()), 0);

    ConversionSettings settings;
    settings.JpegQuality = 33;
    ASSERT_TRUE(SaveSettings(settings, link));
    struct stat status {};
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    ASSERT_EQ(stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_NE(ReadWholeFile(target).find("Jpeg Quality=33\n"), std::string::npos);
    EXPECT_EQ(ListFolder(folder.Path()), (std::vector<std::string>{"Settings.ini", "kept.ini"}));

    // A new file gets what open(2) would give it, not the temporary's 0600.
    const mode_t mask = umask(022);
    const std::string fresh = folder / "fresh.ini";
    ASSERT_TRUE(SaveSettings(settings, fresh));
    umask(mask);
    ASSERT_EQ(stat(fresh.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
}

TEST(IniFile, TemporaryNameCannotBePlantedBeforehand) {
    // The old fixed name "Settings.ini.tmp" let a link planted there
    // redirect the write to any file the user can write.
    TemporaryFolder folder;
    const std::string victim = folder / "victim";
    ASSERT_TRUE(WriteWholeFile(victim, "precious"));
    ASSERT_EQ(symlink("victim", (folder / "Settings.ini.tmp").c_str()), 0);
    ASSERT_TRUE(SaveSettings(ConversionSettings{}, folder / "Settings.ini"));
    EXPECT_EQ(ReadWholeFile(victim), "precious");
    EXPECT_EQ(ListFolder(folder.Path()),
              (std::vector<std::string>{"Settings.ini", "Settings.ini.tmp", "victim"}));
}

TEST(IniFile, FilesThatCannotBeReadWholeAreNeverReplaced) {
    TemporaryFolder folder;
    const std::string withNul = std::string("[Tips]\nFilePos=4\n\0[Mine]\nA=1\n", 26);
    const std::string tooLarge(kMaxIniFileSize + 1, '\n');
    const struct {
        const char* Name;
        const std::string& Bytes;
    } cases[] = {{"nul.ini", withNul}, {"large.ini", tooLarge}};
    for (const auto& c : cases) {
        const std::string path = folder / c.Name;
        ASSERT_TRUE(WriteWholeFile(path, c.Bytes));
        ConversionSettings settings;
        settings.JpegQuality = 1;
        LoadSettings(settings, path);
        EXPECT_EQ(settings.JpegQuality, 70) << c.Name;
        const SaveResult saved = SaveSettings(settings, path);
        EXPECT_FALSE(saved) << c.Name;
        EXPECT_FALSE(saved.Reason.empty()) << c.Name;
        EXPECT_TRUE(ReadWholeFile(path) == c.Bytes) << c.Name;
    }
    // At the limit itself the file is read.
    const std::string atLimit = folder / "limit.ini";
    ASSERT_TRUE(WriteWholeFile(atLimit, std::string(kMaxIniFileSize, '\n')));
    IniFile ini;
    EXPECT_TRUE(ini.Load(atLimit)) << ini.LastError();

    // A folder or a FIFO in the file's place: read as nothing, without
    // blocking, and left where it is.
    ASSERT_EQ(mkdir((folder / "dir.ini").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((folder / "fifo.ini").c_str(), 0644), 0);
    for (const char* name : {"dir.ini", "fifo.ini"}) {
        IniFile special;
        EXPECT_FALSE(special.Load(folder / name)) << name;
        EXPECT_FALSE(special.Save()) << name;
        EXPECT_NE(special.LastError().find("is not a regular file; the file is left as it is"),
                  std::string::npos)
            << special.LastError();
        struct stat status {};
        ASSERT_EQ(lstat((folder / name).c_str(), &status), 0);
        EXPECT_FALSE(S_ISREG(status.st_mode)) << name;
    }
}

// What a save in a child process answered.
struct ChildAnswer {
    bool Ran = false;
    bool Ok = false;
    std::string Reason;
};

// Runs save in a forked child, as an unprivileged user when the tests run
// as root (whom permissions do not stop) and under a file-size limit, the
// stand-in for a full disk; SIGXFSZ is ignored so the write fails instead.
ChildAnswer SaveInChild(const std::function<SaveResult()>& save, rlim_t fileSizeLimit) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    const pid_t child = fork();
    if (child < 0)
        return {};
    if (child == 0) {
        close(pipeEnds[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(2);
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        const SaveResult result = save();
        const std::string answer = (result.Ok ? "1" : "0") + result.Reason;
        const ssize_t written = write(pipeEnds[1], answer.data(), answer.size());
        _exit(written == static_cast<ssize_t>(answer.size()) ? 0 : 4);
    }
    close(pipeEnds[1]);
    std::string answer;
    char buffer[512];
    ssize_t n;
    while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        answer.append(buffer, static_cast<size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || answer.empty())
        return {};
    return {true, answer[0] == '1', answer.substr(1)};
}

// A settings file as users grow them: many keys of their own beside ours.
std::string CrowdedSettingsFile() {
    std::string text = "[Tips]\nTipOfDay=1\nFilePos=120\nTimeStamp=Wed Jun 30 21:49:08 1993\n\n";
    for (int section = 0; section < 7; ++section) {
        text += "[Plugin " + std::to_string(section) + "]\n";
        for (int key = 0; key < 9; ++key)
            text +=
                "Option number " + std::to_string(key) + "=" + std::string(80, 'a' + key) + "\n";
        text += "\n";
    }
    return text;
}

// The folder must be open to the unprivileged user the child may become.
void OpenToEveryone(const std::string& path, mode_t mode) {
    ASSERT_EQ(chmod(path.c_str(), mode), 0) << std::strerror(errno);
}

TEST(IniFile, FullDiskLeavesTheOldFileAsItWas) {
    TemporaryFolder folder;
    OpenToEveryone(folder.Path(), 0777);
    const std::string path = folder / "Settings.ini";
    const std::string old = CrowdedSettingsFile();
    ASSERT_GT(old.size(), 4096u);
    ASSERT_TRUE(WriteWholeFile(path, old));
    OpenToEveryone(path, 0666);

    ConversionSettings settings;
    settings.EndPage = 20;
    const ChildAnswer answer = SaveInChild([&] { return SaveSettings(settings, path); }, 4096);
    ASSERT_TRUE(answer.Ran);
    EXPECT_FALSE(answer.Ok);
    EXPECT_NE(answer.Reason.find(std::strerror(EFBIG)), std::string::npos) << answer.Reason;
    EXPECT_TRUE(ReadWholeFile(path) == old);
    EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::string>{"Settings.ini"});

    // With room enough the same save goes through.
    const ChildAnswer roomy =
        SaveInChild([&] { return SaveSettings(settings, path); }, RLIM_INFINITY);
    ASSERT_TRUE(roomy.Ran);
    EXPECT_TRUE(roomy.Ok) << roomy.Reason;
    EXPECT_NE(ReadWholeFile(path).find("End Page=20\n"), std::string::npos);
}

TEST(IniFile, ReadOnlyFolderAndUnreadableFileAreReported) {
    TemporaryFolder folder;
    const std::string locked = folder / "locked";
    ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
    const std::string inLocked = locked + "/Settings.ini";
    ASSERT_TRUE(WriteWholeFile(inLocked, "[Mine]\nA=1\n"));
    OpenToEveryone(inLocked, 0666);
    OpenToEveryone(locked, 0555);
    OpenToEveryone(folder.Path(), 0777);
    const std::string secret = folder / "secret.ini";
    ASSERT_TRUE(WriteWholeFile(secret, "[Mine]\nB=2\n"));
    OpenToEveryone(secret, 0222);

    const struct {
        const std::string& Path;
        const char* Why;
    } cases[] = {
        {inLocked, "Cannot create a temporary file"},
        // Writable, but what else it holds is unknown.
        {secret, "; the file is left as it is"},
    };
    for (const auto& c : cases) {
        const std::string before = ReadWholeFile(c.Path);
        const ChildAnswer answer =
            SaveInChild([&] { return SaveSettings(ConversionSettings{}, c.Path); }, RLIM_INFINITY);
        ASSERT_TRUE(answer.Ran) << c.Path;
        EXPECT_FALSE(answer.Ok) << c.Path;
        EXPECT_NE(answer.Reason.find(c.Why), std::string::npos) << answer.Reason;
        EXPECT_NE(answer.Reason.find(std::strerror(EACCES)), std::string::npos) << answer.Reason;
        EXPECT_EQ(ReadWholeFile(c.Path), before) << c.Path;
    }
    EXPECT_EQ(ListFolder(locked), std::vector<std::string>{"Settings.ini"});
    EXPECT_EQ(ListFolder(folder.Path()), (std::vector<std::string>{"locked", "secret.ini"}));
    OpenToEveryone(locked, 0755); // so the folder can be removed
}

} // namespace
} // namespace talvore
