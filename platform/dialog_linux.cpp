#include "platform/dialog.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

// The full path of an executable found on PATH, or empty.
static std::string FindOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::string all(path);
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find(':', start);
    if (end == std::string::npos) end = all.size();
    std::string dir = all.substr(start, end - start);
    if (!dir.empty()) {
      std::string candidate = dir + "/" + program;
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    start = end + 1;
  }
  return {};
}

// Runs the program with its arguments, no shell; collects its standard output.
static int RunAndRead(const std::string& program, const std::vector<std::string>& args, std::string& output) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  int r = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (r != 0) {
    close(fds[0]);
    return -1;
  }
  char buf[1024];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0) output.append(buf, size_t(n));
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Plat_OpenFileDialog(const char* filter, const char* initialDirectory, char* out, size_t outSize) {
  if (!out || outSize == 0) return -1;
  out[0] = 0;
  const char* unattended = std::getenv("TW_UNATTENDED");
  if (unattended && *unattended && std::strcmp(unattended, "0") != 0) return -1;
  // Description and pattern pairs; Windows lists several patterns as "*.a;*.b".
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const char* p = filter; p && *p;) {
    std::string description = p;
    p += description.size() + 1;
    if (!*p) break;
    std::string patterns = p;
    p += patterns.size() + 1;
    for (char& c : patterns)
      if (c == ';') c = ' ';
    pairs.emplace_back(description, patterns);
  }
  std::string start = initialDirectory && *initialDirectory ? std::string(initialDirectory) + "/" : "";
  std::string program = FindOnPath("zenity");
  std::vector<std::string> args;
  if (!program.empty()) {
    args = {"--file-selection", "--title=Open"};
    if (!start.empty()) args.push_back("--filename=" + start);
    for (auto& [d, pat] : pairs) args.push_back("--file-filter=" + d + " | " + pat);
  } else if (!(program = FindOnPath("kdialog")).empty()) {
    std::string kfilter;
    for (auto& [d, pat] : pairs) {
      if (!kfilter.empty()) kfilter += "\n";
      kfilter += pat + "|" + d;
    }
    args = {"--getopenfilename", start.empty() ? "." : start};
    if (!kfilter.empty()) args.push_back(kfilter);
  } else {
    return -1;
  }
  std::string output;
  int status = RunAndRead(program, args, output);
  if (status < 0) return -1;
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  if (status != 0 || output.empty()) return 0;
  if (output.size() >= outSize) return 0;
  std::memcpy(out, output.c_str(), output.size() + 1);
  return 1;
}
