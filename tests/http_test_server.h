// The loopback server that tests/http_server.py runs around a test program: its address,
// the folder it serves, its rules file and its request log, from the environment.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

class TestServer {
 public:
  TestServer() {
    const char* port = std::getenv("HTTP_TEST_PORT");
    port_ = port ? std::atoi(port) : 0;
    root_ = Local(std::getenv("HTTP_TEST_ROOT"));
    rules_ = Local(std::getenv("HTTP_TEST_RULES"));
    log_ = Local(std::getenv("HTTP_TEST_LOG"));
  }

  // False when the program runs without http_server.py around it.
  bool Running() const { return port_ > 0 && !root_.empty() && !rules_.empty(); }
  int Port() const { return port_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

  // With --tls: the https server's address for path, the server named by its port's
  // variable (HTTPS_TEST_PORT, HTTPS_OTHER_NAME_PORT, HTTPS_EXPIRED_PORT,
  // HTTPS_UNTRUSTED_PORT); it serves the same folder and rules.
  std::string HttpsUrl(const char* port_variable, const std::string& path) const {
    const char* port = std::getenv(port_variable);
    return "https://127.0.0.1:" + std::string(port ? port : "0") + path;
  }
  // The test CA's DER file; empty without --tls.
  std::string TestCa() const { return Local(std::getenv("HTTPS_TEST_CA")); }

  // Puts bytes where the server finds path.
  void Serve(const std::string& path, const std::string& bytes) const {
    std::filesystem::path file = std::filesystem::path(root_) / path.substr(1);
    std::filesystem::create_directories(file.parent_path());
    FILE* f = std::fopen(file.string().c_str(), "wb");
    ASSERT_TRUE(f) << file;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }

  // Replaces the rules: lines of "PATH BEHAVIOURS" (see http_server.py).
  void SetRules(const std::string& text) const {
    FILE* f = std::fopen(rules_.c_str(), "wb");
    ASSERT_TRUE(f) << rules_;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }

  // The log lines (JSON) of the requests for path, oldest first.
  std::vector<std::string> Requests(const std::string& path) const {
    std::vector<std::string> lines;
    FILE* f = std::fopen(log_.c_str(), "rb");
    if (!f) return lines;
    std::string line;
    for (int c; (c = std::fgetc(f)) != EOF;) {
      if (c != '\n') {
        line += char(c);
        continue;
      }
      if (line.find("\"path\": \"" + path + "\"") != std::string::npos) lines.push_back(line);
      line.clear();
    }
    std::fclose(f);
    return lines;
  }

 private:
  // The server's paths are Unix paths; under Wine they are on drive Z:.
  static std::string Local(const char* unix_path) {
    std::string path = unix_path ? unix_path : "";
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') {
      for (char& c : path)
        if (c == '/') c = '\\';
      path = "Z:" + path;
    }
#endif
    return path;
  }

  int port_ = 0;
  std::string root_, rules_, log_;
};
