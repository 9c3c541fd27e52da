#include "app/registry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

#include "app/paths.h"
#include "app/version.h"

namespace gridport {

namespace {

std::string Escape(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '\\') escaped += "\\\\";
    else if (c == '\r') escaped += "\\r";
    else if (c == '\n') escaped += "\\n";
    else escaped += c;
  }
  return escaped;
}

std::string Unescape(std::string_view text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      plain += text[i];
      continue;
    }
    const char next = text[++i];
    plain += next == 'r' ? '\r' : next == 'n' ? '\n' : next;
  }
  return plain;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw ERegistryError(what + " \"" + path + "\": " + std::strerror(error));
}

}  // namespace

std::string TFileRegistry::DefaultPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config != nullptr && config[0] == '/') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = JoinPath(home != nullptr ? home : ".", ".config");
  }
  return JoinPath(JoinPath(folder, "Gridport"), "registry");
}

std::map<std::string, std::string> TFileRegistry::Load() const {
  std::map<std::string, std::string> values;
  if (!PathExists(path_)) return values;  // a first run: no record yet
  std::ifstream in(path_, std::ios::binary);
  if (!in) Fail("Cannot open registry record", path_, errno != 0 ? errno : EIO);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  if (in.bad()) Fail("Cannot read registry record", path_, EIO);
  return values;
}

void TFileRegistry::Store(const std::map<std::string, std::string>& values) const {
  std::string text;
  for (const auto& [name, stored] : values) text += name + "=" + stored + "\n";
  std::error_code error;
  const std::string folder = path_.substr(0, LastComponentStart(path_));
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  if (error) Fail("Cannot create folder", folder, error.value());
  // Write a sibling file and rename it over the record: a reader sees the old
  // record or the new one, never a part.
  const std::string temp = path_ + "." + std::to_string(::getpid()) + ".tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) Fail("Cannot create", temp, errno);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) {
      const int saved = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      Fail("Cannot write", temp, saved);
    }
    done += static_cast<size_t>(written);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    const int saved = errno;
    ::unlink(temp.c_str());
    Fail("Cannot write", temp, saved);
  }
  if (::rename(temp.c_str(), path_.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temp.c_str());
    Fail("Cannot replace registry record", path_, saved);
  }
}

void TFileRegistry::Write(const std::string& name, std::string stored) {
  if (name.empty() || name.find_first_of("=\r\n") != std::string::npos)
    throw ERegistryError("Invalid registry value name \"" + name + "\"");
  std::map<std::string, std::string> values = Load();
  values[name] = std::move(stored);
  Store(values);
}

std::optional<std::string> TFileRegistry::ReadString(const std::string& name) {
  const auto values = Load();
  const auto found = values.find(name);
  if (found == values.end()) return std::nullopt;
  if (found->second.compare(0, 2, "s:") != 0)
    throw ERegistryError("Invalid data type for '" + name + "'");
  return Unescape(std::string_view(found->second).substr(2));
}

std::optional<TRawValue> TFileRegistry::ReadRaw(const std::string& name) {
  const auto values = Load();
  const auto found = values.find(name);
  if (found == values.end()) return std::nullopt;
  const std::string& stored = found->second;
  if (stored.size() != 2 + 16 || stored.compare(0, 2, "b:") != 0)
    throw ERegistryError("Invalid data type for '" + name + "'");
  TRawValue raw{};
  for (size_t i = 0; i < raw.size(); ++i) {
    const int high = HexDigit(stored[2 + 2 * i]);
    const int low = HexDigit(stored[3 + 2 * i]);
    if (high < 0 || low < 0) throw ERegistryError("Invalid data type for '" + name + "'");
    raw[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return raw;
}

void TFileRegistry::WriteString(const std::string& name, const std::string& value) {
  Write(name, "s:" + Escape(value));
}

void TFileRegistry::WriteRaw(const std::string& name, const TRawValue& value) {
  static const char kHex[] = "0123456789abcdef";
  std::string stored = "b:";
  for (const uint8_t byte : value) {
    stored += kHex[byte >> 4];
    stored += kHex[byte & 15];
  }
  Write(name, std::move(stored));
}

double NowAsDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  // Seconds of local time since 1970-01-01, as days; 25569 days lie between
  // 1899-12-30 and 1970-01-01.
  const double local_seconds = static_cast<double>(now) + static_cast<double>(local.tm_gmtoff);
  return local_seconds / 86400.0 + 25569.0;
}

TRawValue DateTimeToRaw(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  TRawValue raw{};
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(bits >> (8 * i));  // little-endian
  return raw;
}

double RawToDateTime(const TRawValue& raw) {
  uint64_t bits = 0;
  for (size_t i = 0; i < raw.size(); ++i) bits |= uint64_t{raw[i]} << (8 * i);
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::optional<std::string> KeepRegistryRecord(TRegistry& registry, double now) {
  try {
    const std::string stored = registry.ReadString("Version").value_or("");
    if (stored != kProgramVersion) registry.WriteString("Version", kProgramVersion);
    if (stored == "1.2.0" || stored == "1.1.0" || stored == "1.0.0" || stored.empty()) {
      registry.WriteRaw("LastChekUpdate", DateTimeToRaw(now));
      registry.WriteString("DaysChekUpdate", "15");
    }
  } catch (const std::exception& error) {
    return std::string("Не удалось получить/прописать в реестре версию программы. Ошибка: ") + error.what();
  }
  return std::nullopt;
}

}  // namespace gridport
