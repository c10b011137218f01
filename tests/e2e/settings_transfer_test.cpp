// --import-settings and --export-settings on the built program, without a display: an export
// made by a registry editor on another machine lands where the main window reads its options,
// an export imports back to the same hive, and what cannot be done is refused with a reason.
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "appinfo/mur_app_info.h"
#include "monitor/main_window_settings.h"
#include "platform/poll_message_loop.h"
#include "platform/registry.h"
#include "support/reg_value_printer.h"
#include "support/temp_hives.h"

namespace kestrova {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

constexpr char kOptionsKey[] = "Software\\MUR s.r.o.\\KestTerminal\\Options";

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// UTF-16 LE with a byte-order mark, as a registry editor saves an export.
std::string Utf16LeFile(std::u16string_view text) {
  std::string out = "\xFF\xFE";
  for (char16_t unit : text) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
  return out;
}

struct Outcome {
  int status = -1;  // the exit status, -1 when it did not exit by itself
  std::string out;
  std::string err;
};

class SettingsTransferTest : public ::testing::Test {
 protected:
  // Runs the program with `args` and no display to fall back on; the hives are the test's.
  Outcome Program(const std::vector<std::string>& args) {
    const fs::path out = hives_.Root() / "stdout.txt";
    const fs::path err = hives_.Root() / "stderr.txt";
    const pid_t pid = fork();
    if (pid == 0) {
      unsetenv("DISPLAY");
      unsetenv("WAYLAND_DISPLAY");
      std::vector<std::string> texts{KESTROVA_PROGRAM};
      texts.insert(texts.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (std::string& text : texts) argv.push_back(text.data());
      argv.push_back(nullptr);
      if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(126);
      execv(argv[0], argv.data());
      _exit(127);
    }
    Outcome run;
    int status = 0;
    for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
      if (waited == 1000) {  // 10 s: it hangs, perhaps waiting for a display
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(10ms);
    }
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.out = FileText(out);
    run.err = FileText(err);
    return run;
  }

  fs::path Write(const std::string& name, const std::string& bytes) {
    const fs::path path = hives_.Root() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  test::TempHives hives_;
};

TEST_F(SettingsTransferTest, AnotherMachinesExportIsWhatTheMainWindowReads) {
  const fs::path file =
      Write("from-windows.reg",
            Utf16LeFile(
                u"Windows Registry Editor Version 5.00\r\n\r\n"
                u"[HKEY_CURRENT_USER\\Software\\MUR s.r.o.\\KestTerminal\\Options]\r\n"
                u"\"Port1\"=\"TCP:192.168.1.10:502\"\r\n"
                u"\"Port2\"=\"\\\"COM3\\\",\\\"115200\\\"\"\r\n"
                u"\"Protocol\"=\"Fatek\"\r\n"
                u"\"PacketTimeout\"=\"250\"\r\n"
                u"\"LogFile\"=\"Záznam.txt\"\r\n"
                u"\"LogCom1\"=dword:00000001\r\n"
                u"\"LogCom2DCD\"=dword:00000003\r\n"
                u"\r\n"
                u"[HKEY_CURRENT_USER\\Software\\MUR s.r.o.\\KestTerminal\\Options\\FilterRecv]\r\n"
                u"\"_Count\"=dword:00000001\r\n"
                u"\"0\"=\"ERR*=clRed\"\r\n"));
  const Outcome run = Program({"--import-settings", file.string()});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("Options\\FilterRecv: 2 values set"));
  EXPECT_THAT(run.out, HasSubstr(hives_.UserHive().string()));

  PollMessageLoop loop;
  VMurAppInfo app_info(nullptr, &loop);
  app_info.SetAppName("KestTerminal");
  const MainWindowSettings settings = ReadMainWindowSettings(app_info);
  EXPECT_EQ(settings.port1, "TCP:192.168.1.10:502");
  EXPECT_EQ(settings.port2, "\"COM3\",\"115200\"");
  EXPECT_EQ(settings.protocol, "Fatek");
  EXPECT_EQ(settings.packet_timeout, "250");
  EXPECT_EQ(settings.log_file, "Záznam.txt");
  EXPECT_TRUE(settings.log_com1);
  EXPECT_EQ(settings.signal_flags.back(), 3);  // DCD of port 2
  EXPECT_EQ(settings.filter_rules, std::vector<std::string>{"ERR*=clRed"});
  EXPECT_EQ(settings.hex_delim, "7E") << "what the export does not hold keeps its default";
}

TEST_F(SettingsTransferTest, ExportImportsBackToTheSameSettings) {
  const std::pair<const char*, RegValue> kStored[] = {
      {"Port1", RegValue::String("UDP:7000")},
      {"SkipByte", RegValue::String("ř\"\\")},
      {"Lines", RegValue::String("first\r\nsecond")},
      {"LogTimes", RegValue::Dword(1)},
      {"LogPath", RegValue::ExpandString("%HOME%/logs")},
  };
  for (const auto& [name, value] : kStored) {
    ASSERT_TRUE(RegWriteValue(RegRoot::kCurrentUser, kOptionsKey, name, value).ok);
  }
  const RegHive before = RegHiveFile(RegRoot::kCurrentUser).Read();
  const fs::path file = hives_.Root() / "export.reg";

  const Outcome exported = Program({"--export-settings=" + file.string()});
  ASSERT_EQ(exported.status, 0) << exported.out << exported.err;
  EXPECT_THAT(exported.out, HasSubstr("Exported 1 key with 5 values"));
  EXPECT_TRUE(FileText(file).starts_with(Utf16LeFile(u"Windows Registry Editor Version 5.00\r\n")));

  fs::remove(hives_.UserHive());
  const Outcome imported = Program({"--import-settings", file.string()});
  ASSERT_EQ(imported.status, 0) << imported.out << imported.err;
  EXPECT_EQ(RegHiveFile(RegRoot::kCurrentUser).Read(), before);
}

TEST_F(SettingsTransferTest, WhatCannotBeDoneIsRefusedWithAReason) {
  const std::string broken = Write("broken.reg", "REGEDIT4\n[HKEY_CURRENT_USER\\X]\n\"a\"=oops\n");
  const std::string foreign = Write("foreign.reg",
                                    "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\X]\n\"a\"=\"b\"\n"
                                    "[HKEY_CLASSES_ROOT\\.kst]\n@=\"Kestrova\"\n");
  const std::string missing = (hives_.Root() / "missing.reg").string();
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out_has;
    std::string err_has;
  } const kCases[] = {
      {{"--export-settings", missing}, 1, "", "no per-user settings to export"},
      {{"--import-settings", missing}, 1, "", "cannot read " + missing + ": No such file"},
      {{"--import-settings", broken}, 1, "", "line 3: unknown value data"},
      // The per-user part goes in, the rest is named with the reason it was left out.
      {{"--import-settings", foreign}, 1, "HKEY_CLASSES_ROOT\\.kst: 1 value set", ""},
      {{"--import-settings"}, 2, "", "--import-settings needs a file name"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    const Outcome run = Program(c.args);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr(c.out_has));
    EXPECT_THAT(run.err, HasSubstr(c.err_has));
  }
  EXPECT_EQ(RegReadValue(RegRoot::kCurrentUser, "Software\\X", "a"), RegValue::String("b"));
  EXPECT_FALSE(fs::exists(missing)) << "a failed export must not leave a file";
}

}  // namespace
}  // namespace kestrova
