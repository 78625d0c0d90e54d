#pragma once
// Folders of their own for tests: a fresh, empty folder under the system's temporary folder,
// removed with everything in it when the object goes (even when a test took its permissions); and
// the same folder made the working directory while it lives (DUT logs, cfg.ini and QCN files land
// there).

#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

class TemporaryFolder {
 public:
  // The folder's name starts with `prefix`; the rest makes it unique.
  explicit TemporaryFolder(const std::string& prefix = "zendral-test");
  ~TemporaryFolder();

  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of `name` inside the folder.
  std::filesystem::path file(const std::string& name) const { return path_ / name; }

  // Writes `bytes` to the file `name` inside the folder, making the folders on its way.
  void write(const std::string& name, const std::string& bytes) const;
  // The bytes of the file `name` inside the folder; empty when it cannot be read.
  std::string read(const std::string& name) const;
  // The names of everything in the folder, sorted: proves that no temporary file is left.
  std::vector<std::string> entries() const;

 private:
  std::filesystem::path path_;
};

// A temporary folder that is the working directory while it lives; the previous working
// directory comes back before the folder is removed.
class WorkingFolder : public TemporaryFolder {
 public:
  explicit WorkingFolder(const std::string& prefix = "zendral-test");
  ~WorkingFolder();

 private:
  std::filesystem::path previous_;
};

// The bytes of the file at `path`; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);
// Replaces the file at `path` with exactly `bytes`.
void writeFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace test_support
