// Test helper of the net tests: whole files read and written in one call.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

// The file's bytes, or "<none>" when it cannot be opened.
inline std::string ReadTestFile(const std::filesystem::path& path) {
  std::string bytes;
  FILE* f = std::fopen(path.string().c_str(), "rb");
  if (!f) return "<none>";
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

inline void WriteTestFile(const std::filesystem::path& path, const std::string& bytes) {
  FILE* f = std::fopen(path.string().c_str(), "wb");
  ASSERT_TRUE(f) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}
