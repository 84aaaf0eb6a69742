#include "foundation/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <signal.h>
#include <sys/file.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "foundation/inthash.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/namehash.h"
#include "foundation/partoken.h"
#include "foundation/random.h"
#include "foundation/sys.h"
#include "foundation/var.h"
#include "foundation/zip.h"
#include "platform/dialog.h"

struct FileHandle {
  uint32_t kind;  // 1 archive member, 2 disk file
  FILE* stream;
  uint32_t archiveIndex;
  uint32_t size;
  ZipMember* member;
  int32_t entry;      // directory index of the member
  int readError;      // logged once
  char* finalPath;    // writing: the name the temporary file becomes on close
  char* tempPath;
};


static ZipArchive* g_archives[kArchiveCount];
static ArchiveEntry* g_entries;
static int g_entryCount;

// ---------------------------------------------------------------------------------------------
// Loose files: "\" or "/" between folders, and each component found whatever its case on disk.

namespace {

struct DirListing {
  struct timespec mtime;
  bool settled;  // read well after the folder's last change: no later change can share its time
  std::vector<std::string> names;
};

// Listings by folder identity (device and inode), so a change of the working folder needs no
// special care.
std::unordered_map<uint64_t, DirListing>& DirCache() {
  static std::unordered_map<uint64_t, DirListing> cache;
  return cache;
}

std::string Normalize(const char* name) {
  std::string path;
  path.reserve(std::strlen(name));
  for (const char* p = name; *p; p++) {
    char c = *p == '\\' ? '/' : *p;
    if (c == '/' && !path.empty() && path.back() == '/') continue;
    path.push_back(c);
  }
  return path;
}

// The names in a folder, re-read whenever the folder has changed since it was last read.
const std::vector<std::string>* ListDir(const std::string& dir) {
  const char* path = dir.empty() ? "." : dir.c_str();
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
  uint64_t key = uint64_t(st.st_dev) * 0x9E3779B97F4A7C15ull ^ uint64_t(st.st_ino);
  auto& cache = DirCache();
  auto it = cache.find(key);
  if (it != cache.end() && it->second.settled && it->second.mtime.tv_sec == st.st_mtim.tv_sec &&
      it->second.mtime.tv_nsec == st.st_mtim.tv_nsec)
    return &it->second.names;
  DIR* d = opendir(path);
  if (!d) return nullptr;
  DirListing listing;
  listing.mtime = st.st_mtim;
  // A file made in the same timestamp tick as this listing (coarse on some file systems) would
  // leave the time unchanged: a listing that young is read again on the next lookup.
  struct timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  listing.settled = now.tv_sec - st.st_mtim.tv_sec >= 2;
  while (struct dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    listing.names.push_back(e->d_name);
  }
  closedir(d);
  std::sort(listing.names.begin(), listing.names.end());
  if (cache.size() > 4096) cache.clear();
  auto& slot = cache[key];
  slot = std::move(listing);
  return &slot.names;
}

// The on-disk spelling of `component` inside `dir`, exact spelling first.
bool FindComponent(const std::string& dir, const std::string& component, std::string& found) {
  const std::vector<std::string>* names = ListDir(dir);
  if (!names) return false;
  const std::string* match = nullptr;
  for (const std::string& n : *names) {
    if (n == component) {
      found = n;
      return true;
    }
    if (!match && strcasecmp(n.c_str(), component.c_str()) == 0) match = &n;
  }
  if (!match) return false;
  found = *match;
  return true;
}

// Resolves a name to its path on disk. With `create`, components that do not exist keep the
// given spelling (the path is where a new file goes); otherwise a missing component fails.
bool Resolve(const char* name, std::string& out, bool create, bool tryExact = true) {
  if (!name || !*name) return false;
  std::string path = Normalize(name);
  struct stat st;
  if (tryExact && stat(path.c_str(), &st) == 0) {
    out = path;
    return true;
  }
  std::string resolved;
  size_t pos = 0;
  if (path[0] == '/') {
    resolved = "/";
    pos = 1;
  }
  bool missing = false;
  while (pos < path.size()) {
    size_t end = path.find('/', pos);
    bool last = end == std::string::npos;
    if (last) end = path.size();
    std::string component = path.substr(pos, end - pos);
    pos = end + 1;
    if (component.empty()) continue;
    std::string dir = resolved;
    if (!dir.empty() && dir.back() == '/' && dir.size() > 1) dir.pop_back();
    std::string found;
    if (component == "." || component == ".." || missing || !FindComponent(dir, component, found)) {
      if (component != "." && component != "..") {
        if (!create) return false;
        missing = true;
      }
      found = component;
    }
    resolved += found;
    if (!last) resolved.push_back('/');
  }
  out = resolved;
  return !out.empty();
}

void LowerSlash(char* s) {
  for (; *s; s++) {
    if (*s == '\\') *s = '/';
    *s = char(std::tolower((unsigned char)*s));
  }
}

// Folder part (up to and including the last separator) and extension (from the last dot after
// it) of a name.
void SplitName(const char* name, std::string* dir, std::string* base, std::string* ext) {
  const char* slash = nullptr;
  for (const char* p = name; *p; p++)
    if (*p == '/' || *p == '\\') slash = p;
  const char* file = slash ? slash + 1 : name;
  const char* dot = std::strrchr(file, '.');
  if (dir) dir->assign(name, size_t(file - name));
  if (base) base->assign(file, dot ? size_t(dot - file) : std::strlen(file));
  if (ext) ext->assign(dot ? dot : "");
}

}  // namespace

int File_ResolveDiskPath(const char* name, char* out, size_t outSize) {
  std::string path;
  if (!out || outSize == 0 || !Resolve(name, path, false) || path.size() >= outSize) return 0;
  std::memcpy(out, path.c_str(), path.size() + 1);
  return 1;
}

void File_SlashPath(char* path) {
  if (!path) return;
  for (; *path; path++)
    if (*path == '\\') *path = '/';
}

void File_MakeDirTree(const char* path) {
  if (!path || !*path) return;
  std::string resolved;
  if (!Resolve(path, resolved, true)) return;
  // Create every prefix in turn; an existing folder is no error.
  for (size_t i = 1; i <= resolved.size(); i++) {
    if (i == resolved.size() || resolved[i] == '/') {
      std::string prefix = resolved.substr(0, i);
      if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
        Log_Printf("File_MakeDirTree: cannot create %s\n", prefix.c_str());
        return;
      }
    }
  }
}

void File_MakeDirsForFile(const char* path) {
  if (!path) return;
  std::string dir;
  SplitName(path, &dir, nullptr, nullptr);
  while (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  if (!dir.empty()) File_MakeDirTree(dir.c_str());
}

// ---------------------------------------------------------------------------------------------
// Archive directory.

int File_ArchiveEntryCount() { return g_entryCount; }
const ArchiveEntry* File_ArchiveEntries() { return g_entries; }

static bool EntryLess(const ArchiveEntry& a, const ArchiveEntry& b) {
  if (a.nameHash != b.nameHash) return a.nameHash < b.nameHash;
  int c = strcasecmp(a.name, b.name);
  if (c != 0) return c < 0;
  if (a.archiveIndex != b.archiveIndex) return a.archiveIndex > b.archiveIndex;
  return a.posEntry > b.posEntry;  // within one archive the later record wins
}

// Node i covers records i .. i+n-1: itself, then its left range, then its right range.
static void Zip_BuildTree(int i, int n) {
  while (n > 0) {
    int leftCount = (n - 1) / 2;
    int rightCount = n - 1 - leftCount;
    g_entries[i].left = leftCount > 0 ? i + 1 : -1;
    g_entries[i].right = rightCount > 0 ? i + 1 + leftCount : -1;
    if (leftCount > 0) Zip_BuildTree(i + 1, leftCount);
    i = i + 1 + leftCount;
    n = rightCount;
  }
}

int Zip_FindEntry(int node, uint32_t hash, const char* name) {
  if (!g_entries || !name) return -1;
  int i = node;
  while (i >= 0 && i < g_entryCount) {
    const ArchiveEntry& e = g_entries[i];
    if (e.nameHash == hash && strcasecmp(e.name, name) == 0) return i;
    if (e.right < 0) {
      i = e.left;
      continue;
    }
    uint32_t rightHash = g_entries[e.right].nameHash;
    if (rightHash >= hash && e.left >= 0) {
      int hit = Zip_FindEntry(e.left, hash, name);
      if (hit >= 0) return hit;
    }
    if (rightHash > hash) return -1;
    i = e.right;
  }
  return -1;
}

static void MountArchives() {
  uint64_t total = 0;
  char archiveName[64];
  // The folder "main" is listed once; each archive name is looked up in that listing.
  std::string mainDir;
  std::vector<std::string> names;
  if (Resolve("main", mainDir, false))
    if (const std::vector<std::string>* listed = ListDir(mainDir)) names = *listed;
  for (int i = 0; i < kArchiveCount && !names.empty(); i++) {
    std::snprintf(archiveName, sizeof archiveName, "main\\data%.2i.twk", i);
    const char* file = archiveName + 5;
    const std::string* match = nullptr;
    for (const std::string& n : names) {
      if (n == file) {
        match = &n;
        break;
      }
      if (!match && strcasecmp(n.c_str(), file) == 0) match = &n;
    }
    if (!match) continue;
    std::string path = mainDir + "/" + *match;
    g_archives[i] = Zip_Open(path.c_str());
    if (!g_archives[i]) {
      const char* reason = Zip_RefusalReason();
      if (const char* fault = Zip_OpenFault())
        Log_Printf("File_Init: %s %s\n", archiveName, fault);
      else if (reason)
        Log_Printf("File_Init: %s refused: %s\n", archiveName, reason);
      else
        Log_Printf("File_Init: %s is not a zip archive\n", archiveName);
      continue;
    }
    ZipGlobalInfo info{};
    if (Zip_GetGlobalInfo(g_archives[i], &info) == ZIP_OK && info.entryCount > 0) {
      total += info.entryCount;
      Log_Printf("%s[%i]\n", archiveName, int(info.entryCount));
    }
  }
  if (total > 0) {
    g_entries = static_cast<ArchiveEntry*>(Global_MallocZero(size_t(total) * sizeof(ArchiveEntry), "ziper"));
    if (!g_entries) Log_Printf("File_Init: no memory for %llu directory records\n", (unsigned long long)total);
  }
  if (g_entries) {
    int maxName = 0;
    static char name[1024];
    for (int a = 0; a < kArchiveCount && uint64_t(g_entryCount) < total; a++) {
      ZipArchive* z = g_archives[a];
      if (!z) continue;
      std::snprintf(archiveName, sizeof archiveName, "main\\data%.2i.twk", a);
      int r = Zip_GoToFirstFile(z);
      int walked = 0;
      for (; r == ZIP_OK && uint64_t(g_entryCount) < total; r = Zip_GoToNextFile(z), walked++) {
        ZipFileInfo info;
        if (Zip_GetCurrentFileInfo(z, &info, name, sizeof name, nullptr, 0, nullptr, 0) != ZIP_OK) break;
        if (info.compressedSize == 0) continue;
        if (int(info.nameLength) > maxName) maxName = int(info.nameLength);
        if (info.nameLength >= uint32_t(kArchiveNameSize) || std::strlen(name) != info.nameLength) {
          Log_Printf("File_Init: %s: member name of %u bytes skipped: %.64s\n", archiveName,
                     unsigned(info.nameLength), name);
          continue;
        }
        ArchiveEntry& e = g_entries[g_entryCount];
        ZipPos pos;
        if (Zip_GetFilePos(z, &pos) != ZIP_OK) break;
        std::memcpy(e.name, name, info.nameLength + 1);
        LowerSlash(e.name);
        std::string dir, ext;
        SplitName(e.name, &dir, nullptr, &ext);
        e.nameHash = Name_HashStr(e.name);
        e.dirHash = Name_Hash(dir.data(), dir.size(), kNameHashSeed);
        e.extHash = Name_Hash(ext.data(), ext.size(), kNameHashSeed);
        e.size = info.uncompressedSize;
        e.archiveIndex = uint32_t(a);
        e.posOffset = pos.offset;
        e.posEntry = pos.entry;
        e.left = e.right = -1;
        g_entryCount++;
      }
      if (r != ZIP_OK && r != ZIP_END_OF_LIST)
        Log_Printf("File_Init: %s is damaged after %i entries\n", archiveName, walked);
    }
    Log_Printf("maxnamelength=[%i]\n", maxName);
  }
  Log_Printf("zippreentrys=%i\n", g_entryCount);
  if (g_entryCount > 0) {
    std::sort(g_entries, g_entries + g_entryCount, EntryLess);
    int kept = 0;
    for (int i = 0; i < g_entryCount; i++) {
      if (kept > 0 && g_entries[kept - 1].nameHash == g_entries[i].nameHash &&
          strcasecmp(g_entries[kept - 1].name, g_entries[i].name) == 0)
        continue;
      if (kept != i) g_entries[kept] = g_entries[i];
      kept++;
    }
    g_entryCount = kept;
    Log_Printf("zipentrys=%i\n", g_entryCount);
    Zip_BuildTree(0, g_entryCount);
  }
}

static void UnmountArchives() {
  if (g_entries) Global_Free(g_entries);
  g_entries = nullptr;
  g_entryCount = 0;
  for (ZipArchive*& z : g_archives) {
    if (z) Zip_Close(z);
    z = nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown.

// Reads the "_debug" switch file: bracketed key and value tokens, keys compared without regard
// to case; an unknown token is skipped by itself. A file of 4095 bytes or more is ignored. Only a
// regular file is read, and the open never waits (a named pipe would block it until a writer
// came): false when "_debug" is there but is not a regular file. The log is not open yet, so the
// caller says so.
static bool ReadDebugSwitches() {
  int fd = open("_debug", O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return true;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  static char text[4096];
  size_t n = 0;
  while (n < sizeof text) {
    ssize_t got = read(fd, text + n, sizeof text - n);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    n += size_t(got);
  }
  close(fd);
  if (n >= 4095) return true;
  text[n] = 0;
  struct {
    const char* key;
    int* value;
  } const keys[] = {{"debugMem", &Sys_Debug.debugMem},
                    {"printMem", &Sys_Debug.printMem},
                    {"boundsCheckSize", &Sys_Debug.boundsCheckSize},
                    {"boundsCheckChar", &Sys_Debug.boundsCheckChar},
                    {"openLog", &Sys_Debug.openLog}};
  const char* rest = text;
  while (const char* tok = Par_NextBracketToken(rest, &rest)) {
    for (const auto& k : keys) {
      if (strcasecmp(tok, k.key) != 0) continue;
      const char* value = Par_NextBracketToken(rest, &rest);
      if (!value) return true;
      int v = 0;
      if (std::sscanf(value, "%i", &v) == 1) *k.value = v;
      break;
    }
  }
  return true;
}

void File_Init() {
  const bool debugReadable = ReadDebugSwitches();
  if (Sys_Debug.boundsCheckSize < 0) Sys_Debug.boundsCheckSize = 0;
  if (Sys_Debug.boundsCheckSize > 4096) Sys_Debug.boundsCheckSize = 4096;
  Sys_Debug.boundsCheckChar &= 0xFF;
  Sys_WinPlatform = 1;
  Log_Open();
  Log_Banner();
  Log_CommandLine();
  if (!debugReadable) Log_Printf("File_Init: _debug is not a regular file\n");
  Global_MemoryStatus();
  Math_RandInit();
  Var_InitTable();
  MountArchives();
  TextFile_Flush();
}

void File_Shutdown() {
  TextFile_Flush();
  File_FindClose();
  UnmountArchives();
  DirCache().clear();
  Var_ResetTable();
  Global_MemoryStatus();
  Log_Close();
}

// ---------------------------------------------------------------------------------------------
// Handles.

static char* CopyText(const std::string& s) {
  auto* p = static_cast<char*>(Global_Malloc(s.size() + 1, "xfl"));
  if (p) std::memcpy(p, s.c_str(), s.size() + 1);
  return p;
}

static void FreeHandle(FileHandle* h) {
  if (h->finalPath) Global_Free(h->finalPath);
  if (h->tempPath) Global_Free(h->tempPath);
  Global_Free(h);
}

// Opens a regular file only: a folder, a named pipe or a device is never opened as a file. The
// open does not wait (a named pipe would block it until a writer came); the regular file is then
// read as usual.
static FILE* OpenRegular(const std::string& path, const char* mode) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st;
  const bool known = fstat(fd, &st) == 0;
  if (!known || !S_ISREG(st.st_mode)) {
    if (known && !S_ISDIR(st.st_mode)) Log_Printf("File_Open: %s is not a regular file\n", path.c_str());
    close(fd);
    errno = EISDIR;
    return nullptr;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return nullptr;
  }
  FILE* f = fdopen(fd, mode);
  if (!f) close(fd);
  return f;
}

// A written file is "<name>.~tw<pid of the writer>" until it is complete.
constexpr const char* kTempMark = ".~tw";

// Removes a temporary file whose writer is gone: its process is not alive (a process we may not
// ask counts as alive) and nobody holds the file's lock. True when it was removed.
static bool RemoveIfStale(const std::string& path, const char* pidText) {
  char* end = nullptr;
  long pid = std::strtol(pidText, &end, 10);
  if (!*pidText || *end || pid <= 0 || pid == long(getpid())) return false;
  if (kill(pid_t(pid), 0) == 0 || errno != ESRCH) return false;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  bool removed = flock(fd, LOCK_EX | LOCK_NB) == 0 && unlink(path.c_str()) == 0;
  close(fd);
  return removed;
}

// Temporary files that writers killed before they finished left in the folder of `path`: the
// first write of this run into a folder removes them. Only names of our own making go, and only
// those whose writer is gone.
static void RemoveStaleTemps(const std::string& path) {
  static std::unordered_set<std::string> cleaned;
  size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  char real[4096];
  if (!realpath(folder.c_str(), real) || !cleaned.insert(real).second) return;
  DIR* d = opendir(folder.c_str());
  if (!d) return;
  std::vector<std::string> removed;
  while (dirent* e = readdir(d)) {
    const char* mark = std::strstr(e->d_name, kTempMark);
    if (!mark || mark == e->d_name) continue;
    const char* pid = mark + std::strlen(kTempMark);
    if (std::strspn(pid, "0123456789") != std::strlen(pid)) continue;
    std::string file = folder + "/" + e->d_name;
    struct stat st;
    if (lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (RemoveIfStale(file, pid)) removed.push_back(e->d_name);
  }
  closedir(d);
  for (const std::string& name : removed) Log_Printf("File_Open: removed %s, left by a writer that was stopped\n", name.c_str());
}

static FileHandle* OpenForWrite(FileHandle* h, const char* name, const char* mode) {
  std::string path;
  File_MakeDirsForFile(name);
  if (!Resolve(name, path, true)) {
    FreeHandle(h);
    return nullptr;
  }
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    Log_Printf("File_Open: %s is a folder\n", name);
    FreeHandle(h);
    return nullptr;
  }
  RemoveStaleTemps(path);
  std::string temp = path + kTempMark + std::to_string(getpid());
  h->finalPath = CopyText(path);
  h->tempPath = CopyText(temp);
  if (!h->finalPath || !h->tempPath) {
    FreeHandle(h);
    return nullptr;
  }
  h->stream = std::fopen(temp.c_str(), mode);
  if (!h->stream) {
    FreeHandle(h);
    return nullptr;
  }
  flock(fileno(h->stream), LOCK_EX | LOCK_NB);  // in use until closed, whatever our pid looks like elsewhere
  h->kind = 2;
  return h;
}

FileHandle* File_Open(const char* name, const char* mode) {
  if (!name || !*name || !mode) return nullptr;
  char m[3];
  if (std::strlen(mode) != 2) return nullptr;
  m[0] = char(std::tolower((unsigned char)mode[0]));
  m[1] = char(std::tolower((unsigned char)mode[1]));
  m[2] = 0;
  bool reading = std::strcmp(m, "rb") == 0;
  if (!reading && std::strcmp(m, "wb") != 0) return nullptr;
  auto* h = static_cast<FileHandle*>(Global_MallocZero(sizeof(FileHandle), "xfl"));
  if (!h) return nullptr;
  h->entry = -1;
  if (!reading) return OpenForWrite(h, name, m);
  // The name as given first, then spelled as the disk has it.
  std::string path = Normalize(name);
  FILE* f = OpenRegular(path, m);
  if (!f && (errno == ENOENT || errno == ENOTDIR) && Resolve(name, path, false, false)) f = OpenRegular(path, m);
  if (f) {
    h->kind = 2;
    h->stream = f;
    return h;
  }
  if (g_entryCount > 0) {
    size_t length = std::strlen(name);
    if (length < size_t(kArchiveNameSize)) {
      char lower[kArchiveNameSize];
      std::memcpy(lower, name, length + 1);
      LowerSlash(lower);
      int i = Zip_FindEntry(0, Name_HashStr(lower), lower);
      if (i >= 0) {
        const ArchiveEntry& e = g_entries[i];
        ZipPos pos{e.posOffset, e.posEntry};
        int r = Zip_OpenMember(g_archives[e.archiveIndex], &pos, &h->member);
        if (r == ZIP_OK) {
          h->kind = 1;
          h->archiveIndex = e.archiveIndex;
          h->size = e.size;
          h->entry = i;
          return h;
        }
        const char* reason = Zip_RefusalReason();
        Log_Printf("File_Open: %s in main\\data%.2u.twk cannot be read (%i)%s%s\n", e.name, e.archiveIndex, r,
                   reason ? ": " : "", reason ? reason : "");
      }
    }
  }
  FreeHandle(h);
  return nullptr;
}

static const char* HandleName(const FileHandle* f) {
  if (f->entry >= 0 && f->entry < g_entryCount) return g_entries[f->entry].name;
  return f->finalPath ? f->finalPath : "?";
}

size_t File_Read(void* buffer, size_t itemSize, size_t itemCount, FileHandle* f) {
  if (!buffer || !itemSize || !itemCount || !f) return 0;
  if (f->kind == 2) return f->stream ? std::fread(buffer, itemSize, itemCount, f->stream) : 0;
  if (f->kind != 1 || !f->member) return 0;
  // A member holds less than 4 GiB: larger requests are cut to what it can give.
  uint64_t want = itemCount > UINT32_MAX / itemSize ? UINT32_MAX : uint64_t(itemSize) * itemCount;
  auto* out = static_cast<uint8_t*>(buffer);
  uint64_t got = 0;
  while (got < want) {
    uint32_t chunk = uint32_t(std::min<uint64_t>(want - got, 0x40000000u));
    int n = Zip_ReadMember(f->member, out + got, chunk);
    if (n < 0) {
      if (!f->readError) {
        if (n == ZIP_CRC_ERROR)
          Log_Printf("File_Read: CRC error in %s\n", HandleName(f));
        else
          Log_Printf("File_Read: read error %i in %s\n", n, HandleName(f));
        f->readError = 1;
      }
      return 0;
    }
    if (n == 0) break;
    got += uint64_t(n);
  }
  return size_t(got / itemSize);
}

size_t File_Write(const void* buffer, size_t itemSize, size_t itemCount, FileHandle* f) {
  if (!buffer || !itemSize || !itemCount || !f || f->kind != 2 || !f->stream) return 0;
  return std::fwrite(buffer, itemSize, itemCount, f->stream);
}

uint32_t File_Size(FileHandle* f) {
  if (!f) return 0;
  if (f->kind == 1) return f->size;
  if (!f->stream) return 0;
  long here = std::ftell(f->stream);
  std::fseek(f->stream, 0, SEEK_END);
  long end = std::ftell(f->stream);
  std::fseek(f->stream, here, SEEK_SET);
  if (end < 0) return 0;
  return end > long(UINT32_MAX) ? UINT32_MAX : uint32_t(end);
}

uint32_t File_Kind(const FileHandle* f) { return f ? f->kind : 0; }

// Makes a rename in the folder of `path` durable.
static bool SyncFolderOf(const char* path) {
  std::string folder(path);
  size_t slash = folder.find_last_of('/');
  folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
}

// A written file: every byte flushed and on the disk before it takes the name, then the folder.
static int FinishWrite(FileHandle* f) {
  bool failed = std::ferror(f->stream) != 0;
  failed = std::fflush(f->stream) != 0 || failed;
  failed = failed || fsync(fileno(f->stream)) != 0;
  failed = std::fclose(f->stream) != 0 || failed;
  f->stream = nullptr;
  if (failed || std::rename(f->tempPath, f->finalPath) != 0) {
    Log_Printf("File_Close: cannot write %s\n", f->finalPath);
    std::remove(f->tempPath);
    return 0;
  }
  if (!SyncFolderOf(f->finalPath)) {
    Log_Printf("File_Close: %s may not survive a crash (its folder was not synced)\n", f->finalPath);
    return 0;
  }
  return 1;
}

int File_Close(FileHandle* f) {
  if (!f) return 0;
  int ok = 1;
  if (f->member) {
    int r = Zip_CloseMember(f->member);
    if (r == ZIP_CRC_ERROR && !f->readError)
      Log_Printf("File_Close: CRC error in %s\n", HandleName(f));
    else if (r != ZIP_OK && !f->readError)
      Log_Printf("File_Close: %s is damaged (%i)\n", HandleName(f), r);
    ok = r == ZIP_OK && !f->readError;
  }
  if (f->stream) {
    if (f->tempPath) {
      ok = FinishWrite(f);
    } else {
      ok = std::ferror(f->stream) == 0 && !f->readError;
      std::fclose(f->stream);
    }
  }
  FreeHandle(f);
  return ok;
}

void File_Discard(FileHandle* f) {
  if (!f) return;
  if (!f->tempPath) {
    File_Close(f);
    return;
  }
  if (f->stream) std::fclose(f->stream);
  std::remove(f->tempPath);
  FreeHandle(f);
}

int File_WholeSizeAllowed(const char* caller, const char* name, uint64_t size) {
  if (size <= kFileMaxWhole) return 1;
  Log_Printf("%s: %s is too large (%llu bytes)\n", caller, name, (unsigned long long)size);
  return 0;
}

void* File_LoadWhole(const char* name, uint32_t* size, const char* tag) {
  if (size) *size = 0;
  FileHandle* f = File_Open(name, "rb");
  if (!f) return nullptr;
  uint64_t n = File_Size(f);
  if (!File_WholeSizeAllowed("File_LoadWhole", name, n)) {
    File_Close(f);
    return nullptr;
  }
  auto* data = static_cast<uint8_t*>(Global_Malloc(size_t(n) + 2, tag ? tag : "xfl"));
  if (!data) {
    File_Close(f);
    return nullptr;
  }
  size_t got = n ? File_Read(data, 1, size_t(n), f) : 0;
  File_Close(f);
  if (got != n) {
    Log_Printf("File_LoadWhole: %s read %zu of %llu bytes\n", name, got, (unsigned long long)n);
    Global_Free(data);
    return nullptr;
  }
  data[n] = 0;
  data[n + 1] = 0;
  if (size) *size = uint32_t(n);
  return data;
}

// ---------------------------------------------------------------------------------------------
// Text cache.

namespace {
struct TextCacheEntry {
  uint32_t hash;
  char* name;
  uint32_t nameSize;
  char* data;
  uint32_t dataSize;
};
TextCacheEntry g_text[kTextCacheSize];
int g_textCount;
// Texts of the previous full cache, freed when the cache fills again.
char* g_retired[kTextCacheSize];
int g_retiredCount;

void FreeRetired() {
  for (int i = 0; i < g_retiredCount; i++) Global_Free(g_retired[i]);
  g_retiredCount = 0;
}

void RetireCurrent() {
  FreeRetired();
  for (int i = 0; i < g_textCount; i++) {
    if (g_text[i].data) g_retired[g_retiredCount++] = g_text[i].data;
    if (g_text[i].name) Global_Free(g_text[i].name);
    g_text[i] = TextCacheEntry{};
  }
  g_textCount = 0;
}
}  // namespace

void TextFile_Flush() {
  RetireCurrent();
  FreeRetired();
}

const char* TextFile_Get(const char* name) { return TextFile_GetSized(name, nullptr); }

const char* TextFile_GetSized(const char* name, uint32_t* sizeOut) {
  if (sizeOut) *sizeOut = 0;
  if (!name || !*name) return nullptr;
  uint32_t hash = Name_HashStr(name);
  for (int i = 0; i < g_textCount; i++)
    if (g_text[i].hash == hash && strcasecmp(g_text[i].name, name) == 0) {
      if (sizeOut && g_text[i].data) *sizeOut = g_text[i].dataSize - 2;
      return g_text[i].data;
    }
  if (g_textCount >= kTextCacheSize) RetireCurrent();
  size_t nameSize = std::strlen(name) + 1;
  auto* copy = static_cast<char*>(Global_Malloc(nameSize, "vtcn"));
  if (!copy) return nullptr;
  std::memcpy(copy, name, nameSize);
  TextCacheEntry& e = g_text[g_textCount];
  e = TextCacheEntry{hash, copy, uint32_t(nameSize), nullptr, 0};
  g_textCount++;
  FileHandle* f = File_Open(name, "rb");
  if (!f) return nullptr;
  uint64_t size = File_Size(f);
  if (File_WholeSizeAllowed("TextFile_Get", name, size) && size > 0) {
    auto* data = static_cast<char*>(Global_Malloc(size_t(size) + 2, "vtcd"));
    if (data) {
      size_t got = File_Read(data, 1, size_t(size), f);
      if (got == size) {
        data[size] = 0;
        data[size + 1] = 0;
        e.data = data;
        e.dataSize = uint32_t(size + 2);
      } else {
        Log_Printf("TextFile_Get: %s read %zu of %llu bytes\n", name, got, (unsigned long long)size);
        Global_Free(data);
      }
    }
  }
  File_Close(f);
  if (sizeOut && e.data) *sizeOut = e.dataSize - 2;
  return e.data;
}

// ---------------------------------------------------------------------------------------------
// Folder searches and listings.

namespace {
DIR* g_search;
std::string g_searchPattern;
std::string g_searchName;
}  // namespace

void File_FindClose() {
  if (g_search) closedir(g_search);
  g_search = nullptr;
}

const char* File_FindNext() {
  if (!g_search) return nullptr;
  while (struct dirent* e = readdir(g_search)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    if (fnmatch(g_searchPattern.c_str(), e->d_name, FNM_CASEFOLD | FNM_NOESCAPE) != 0) continue;
    g_searchName = e->d_name;
    return g_searchName.c_str();
  }
  return nullptr;
}

const char* File_FindFirst(const char* pattern) {
  File_FindClose();
  if (!pattern || !*pattern) return nullptr;
  std::string dir, base, ext;
  SplitName(pattern, &dir, &base, &ext);
  g_searchPattern = base + ext;
  if (g_searchPattern.empty()) return nullptr;
  std::string path = ".";
  if (!dir.empty() && !Resolve(dir.c_str(), path, false)) return nullptr;
  g_search = opendir(path.c_str());
  if (!g_search) return nullptr;
  return File_FindNext();
}

static void AddListed(const std::string& base, int* count, char* output, int maximum, int stride) {
  for (int i = 0; i < *count; i++)
    if (strcasecmp(output + size_t(i) * size_t(stride), base.c_str()) == 0) return;
  if (*count >= maximum) return;
  char* slot = output + size_t(*count) * size_t(stride);
  size_t n = std::min(base.size(), size_t(stride - 1));
  std::memcpy(slot, base.data(), n);
  slot[n] = 0;
  (*count)++;
}

void File_ListFiles(const char* directory, const char* extension, int* count, char* output,
                    int maximum, int stride) {
  if (!directory || !*directory || !extension || !*extension || !output || !count) return;
  if (maximum < 1 || stride < 1 || *count < 0 || *count >= maximum) return;
  std::string dir(directory), ext(extension);
  std::vector<char> lowDir(dir.begin(), dir.end()), lowExt(ext.begin(), ext.end());
  lowDir.push_back(0);
  lowExt.push_back(0);
  LowerSlash(lowDir.data());
  LowerSlash(lowExt.data());
  uint32_t dirHash = Name_HashStr(lowDir.data()), extHash = Name_HashStr(lowExt.data());
  for (int i = 0; i < g_entryCount && *count < maximum; i++) {
    const ArchiveEntry& e = g_entries[i];
    if (e.dirHash != dirHash || e.extHash != extHash) continue;
    std::string d, b, x;
    SplitName(e.name, &d, &b, &x);
    if (strcasecmp(d.c_str(), lowDir.data()) != 0 || strcasecmp(x.c_str(), lowExt.data()) != 0) continue;
    AddListed(b, count, output, maximum, stride);
  }
  std::string pattern = dir + "*" + ext;
  for (const char* name = File_FindFirst(pattern.c_str()); name && *count < maximum; name = File_FindNext()) {
    std::string b, x;
    SplitName(name, nullptr, &b, &x);
    if (strcasecmp(x.c_str(), extension) != 0) continue;
    AddListed(b, count, output, maximum, stride);
  }
  File_FindClose();
}

// ---------------------------------------------------------------------------------------------
// Copy folder and open dialog.

void File_CopyToCopyDirectory(const char* path) {
  if (!path || !*path) return;
  VarRecord* v = Var_Find("copy_directory");
  if (!v || !v->text[0]) return;
  std::string target = std::string(v->text) + "\\" + path;
  std::string source;
  bool ok = false;
  if (Resolve(path, source, false)) {
    File_MakeDirsForFile(target.c_str());
    std::string dest;
    int in = open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a named pipe is not waited on
    struct stat st;
    if (in >= 0 && fstat(in, &st) == 0 && S_ISREG(st.st_mode) && Resolve(target.c_str(), dest, true)) {
      // Like the desktop copy without overwrite: an existing copy is left alone.
      int out = open(dest.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (out >= 0) {
        ok = true;
        char buf[65536];
        ssize_t n;
        while ((n = read(in, buf, sizeof buf)) > 0)
          if (write(out, buf, size_t(n)) != n) ok = false;
        if (n < 0) ok = false;
        if (close(out) != 0) ok = false;
        if (!ok) unlink(dest.c_str());
      }
    }
    if (in >= 0) close(in);
  }
  if (!ok) Log_Printf("cant copy %s\n", path);
}

const char* File_OpenDialog(const char* filter) {
  static char result[2048];
  result[0] = 0;
  char cwd[2048];
  if (!getcwd(cwd, sizeof cwd)) cwd[0] = 0;
  int r = Plat_OpenFileDialog(filter, cwd, result, sizeof result);
  if (cwd[0] && chdir(cwd) != 0) Log_Printf("File_OpenDialog: cannot return to %s\n", cwd);
  if (r < 0) {
    Log_Printf("File_OpenDialog: no file chooser available\n");
    return nullptr;
  }
  if (r == 0) {
    result[0] = 0;
    return result;
  }
  size_t n = std::strlen(Sys_StartDirectory);
  if (n > 0 && strncasecmp(result, Sys_StartDirectory, n) == 0 && (result[n] == '/' || result[n] == '\\'))
    std::memmove(result, result + n + 1, std::strlen(result + n + 1) + 1);
  return result;
}
