// Runs rt7700-print as a child process with a controlled environment.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace tooltest {

struct Result {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

using Env = std::map<std::string, std::string>;

// Starts the tool; its standard output and error go to files in `dir` (standard output to
// `stdoutFd` instead when given). The child's environment is this process's without any RT7700_
// variable, plus `env`.
pid_t Start(const std::vector<std::string>& args, const Env& env, const std::string& dir, int stdoutFd = -1);
Result Wait(pid_t pid, const std::string& dir);
inline Result Run(const std::vector<std::string>& args, const Env& env, const std::string& dir) {
  return Wait(Start(args, env, dir), dir);
}

std::string ReadFile(const std::string& path);

}  // namespace tooltest
