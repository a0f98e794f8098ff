#pragma once
#include <filesystem>
#include <string>

// A fresh folder under the system temp folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  // Path of a name inside the folder.
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Whole file as bytes; empty when it cannot be read.
std::string ReadBytes(const std::string& file);
void WriteBytes(const std::string& file, const std::string& bytes);
