// The fuzz targets' private folders and the command line made absolute (linked into every target).
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz.h"

namespace {

std::string g_folder;

void RemoveFolder() {
  std::error_code ec;
  std::filesystem::remove_all(g_folder, ec);
}

// libFuzzer's flags whose values name files or folders.
constexpr const char* kPathFlags[] = {"artifact_prefix", "exact_artifact_path", "dict", "merge_control_file",
                                      "features_dir", "mutation_graph_file", "data_flow_trace", "seed_inputs"};

std::string Absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::error_code ec;
  std::filesystem::path here = std::filesystem::current_path(ec);
  return ec ? path : (here / path).string();  // a trailing "/" stays
}

// "a,b" and "@list" (the seed_inputs forms) item by item.
std::string AbsoluteList(const std::string& value) {
  if (!value.empty() && value[0] == '@') return "@" + Absolute(value.substr(1));
  std::string out;
  size_t at = 0;
  while (at <= value.size()) {
    size_t comma = value.find(',', at);
    if (comma == std::string::npos) comma = value.size();
    out += (out.empty() ? "" : ",") + Absolute(value.substr(at, comma - at));
    at = comma + 1;
  }
  return out;
}

}  // namespace

const char* Fuzz_EnterPrivateFolder(const char* prefix, bool inMemory) {
  if (!g_folder.empty()) return g_folder.c_str();
  std::error_code ec;
  std::string base = inMemory && access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path(ec).string();
  if (ec || base.empty()) base = "/tmp";
  std::string templ = base + "/" + prefix + "XXXXXX";
  std::vector<char> name(templ.begin(), templ.end());
  name.push_back(0);
  if (!mkdtemp(name.data())) std::abort();
  g_folder = name.data();
  std::atexit(RemoveFolder);
  if (chdir(g_folder.c_str()) != 0) std::abort();
  return g_folder.c_str();
}

void Fuzz_AbsoluteArguments(int* argc, char*** argv, bool addArtifactPrefix) {
  static std::deque<std::string> texts;
  static std::vector<char*> args;
  bool artifact = false;
  for (int i = 0; i < *argc; ++i) {
    std::string a = (*argv)[i];
    if (i > 0 && a[0] != '-') {
      a = Absolute(a);
    } else if (i > 0 && a.size() > 1 && a[1] != '-') {
      size_t eq = a.find('=');
      std::string flag = a.substr(1, eq == std::string::npos ? std::string::npos : eq - 1);
      for (const char* f : kPathFlags)
        if (eq != std::string::npos && flag == f) {
          artifact |= flag == "artifact_prefix" || flag == "exact_artifact_path";
          std::string value = a.substr(eq + 1);
          a = "-" + flag + "=" + (flag == "seed_inputs" ? AbsoluteList(value) : Absolute(value));
        }
    }
    texts.push_back(a);
  }
  std::error_code ec;
  if (addArtifactPrefix && !artifact) texts.push_back("-artifact_prefix=" + std::filesystem::current_path(ec).string() + "/");
  args.clear();
  for (std::string& t : texts) args.push_back(t.data());
  args.push_back(nullptr);
  *argc = int(args.size()) - 1;
  *argv = args.data();
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  Fuzz_AbsoluteArguments(argc, argv, true);
  return 0;
}
