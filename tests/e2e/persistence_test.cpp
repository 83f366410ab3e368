// What the card keeps between processes: with a card folder, files and try
// counters carry over from one application's process to the next; without
// one, every process starts from a fresh card.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "card_session.h"

extern char** environ;

namespace e2e {
namespace {

// Runs the session child with this process's environment; its output.
std::string RunChild(const std::vector<std::string>& args) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  const std::string program = SESSION_CHILD;
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  if (spawned != 0) return "cannot start " + program;
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) out += "child failed\n";
  return out;
}

std::string HexNoSpaces(const std::vector<uint8_t>& bytes) {
  std::string hex = Hex(bytes);
  std::erase(hex, ' ');
  return hex;
}

const std::string kWrongPass = "verify:3030303030303030";

TEST_F(CardSession, FilesAndTryCountersCarryOverBetweenProcesses) {
  const std::vector<uint8_t> data = Pattern(300, 0x77);
  EXPECT_EQ(RunChild({"2", "select:01", "update:" + HexNoSpaces(data), kWrongPass}), "9000\n9000\n63C2\n");
  EXPECT_EQ(RunChild({"2", "select:01", "read:300", kWrongPass}), "9000\n9000 " + HexNoSpaces(data) + "\n63C1\n");

  tw_handle_t second = 0;
  ASSERT_EQ(OpenCom(2, &second), 0);
  ASSERT_EQ(ResetICC(static_cast<int32_t>(second), 0, 0), 0);
  ASSERT_EQ(SelectFile(0x00, 0, 0x01, second), 0x9000);
  std::vector<uint8_t> back(300);
  ASSERT_EQ(ReadBin(300, back.data(), second), 0x9000);
  EXPECT_EQ(Hex(back), Hex(data));
  const std::vector<uint8_t> wrong(8, '0');
  EXPECT_EQ(VerifyPassphrase(wrong.data(), 8, 0x01, second), 0x63C0);
  CloseCom(&second);
}

TEST_F(CardSession, WithoutACardFolderEveryProcessHasAFreshCard) {
  skorratest::ScopedEnv in_memory("SKORRA_VCARD_DIR", std::nullopt);
  EXPECT_EQ(RunChild({"2", "select:01", "update:CAFE", kWrongPass}), "9000\n9000\n63C2\n");
  EXPECT_EQ(RunChild({"2", "select:01", "read:2", kWrongPass}), "9000\n9000 0000\n63C2\n");
}

}  // namespace
}  // namespace e2e
