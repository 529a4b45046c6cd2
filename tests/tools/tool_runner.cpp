#include "tool_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace tooltest {

pid_t Start(const std::vector<std::string>& args, const Env& env, const std::string& dir, int stdoutFd) {
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "RT7700_", 7) != 0) environment.emplace_back(*e);
  }
  for (const auto& [k, v] : env) environment.push_back(k + "=" + v);
  std::vector<char*> argv, envp;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  std::string out = dir + "/.stdout", err = dir + "/.stderr";
  pid_t pid = fork();
  if (pid == 0) {
    int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(stdoutFd >= 0 ? stdoutFd : o, 1);
    if (stdoutFd >= 0) close(stdoutFd);
    dup2(e, 2);
    close(o);
    close(e);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  return pid;
}

Result Wait(pid_t pid, const std::string& dir) {
  Result r;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid)
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = ReadFile(dir + "/.stdout");
  r.err = ReadFile(dir + "/.stderr");
  unlink((dir + "/.stdout").c_str());
  unlink((dir + "/.stderr").c_str());
  return r;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace tooltest
