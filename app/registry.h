// The program's per-user record (Software\Gridport): string values and one
// 8-byte raw value. On Linux it is a small file under
// $XDG_CONFIG_HOME/Gridport/ (default ~/.config/Gridport/), replaced
// atomically on every write.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

namespace gridport {

// A registry record that cannot be read or written.
class ERegistryError : public std::runtime_error {
 public:
  explicit ERegistryError(const std::string& message) : std::runtime_error(message) {}
};

using TRawValue = std::array<uint8_t, 8>;

class TRegistry {
 public:
  virtual ~TRegistry() = default;
  // Nothing when the value is absent; ERegistryError when the record cannot
  // be read or the value has the other type.
  virtual std::optional<std::string> ReadString(const std::string& name) = 0;
  virtual std::optional<TRawValue> ReadRaw(const std::string& name) = 0;
  // ERegistryError when the record cannot be written.
  virtual void WriteString(const std::string& name, const std::string& value) = 0;
  virtual void WriteRaw(const std::string& name, const TRawValue& value) = 0;
};

// The record as a file: one "name=s:text" or "name=b:16 hex digits" line per
// value (backslash, CR and LF in a text escaped as \\, \r, \n).
class TFileRegistry : public TRegistry {
 public:
  explicit TFileRegistry(std::string path) : path_(std::move(path)) {}
  // $XDG_CONFIG_HOME/Gridport/registry, or ~/.config/Gridport/registry when
  // XDG_CONFIG_HOME is unset or not an absolute path.
  static std::string DefaultPath();

  std::optional<std::string> ReadString(const std::string& name) override;
  std::optional<TRawValue> ReadRaw(const std::string& name) override;
  void WriteString(const std::string& name, const std::string& value) override;
  void WriteRaw(const std::string& name, const TRawValue& value) override;
  const std::string& Path() const { return path_; }

 private:
  // name -> "s:..." or "b:..." as stored.
  std::map<std::string, std::string> Load() const;
  void Store(const std::map<std::string, std::string>& values) const;
  void Write(const std::string& name, std::string stored);

  std::string path_;
};

// Now as the registry's date-time: days since 30 December 1899 in local
// time, the time of day as the fraction.
double NowAsDateTime();
TRawValue DateTimeToRaw(double value);
double RawToDateTime(const TRawValue& raw);

// Start-up step: writes Version "1.3.2" when the stored text differs, and on a
// first run or an upgrade from 1.0.0, 1.1.0 or 1.2.0 also LastChekUpdate :=
// now and DaysChekUpdate := "15". Returns the message to show on a registry
// failure ("Не удалось получить/прописать в реестре версию программы.
// Ошибка: " + the error's text), or nothing.
std::optional<std::string> KeepRegistryRecord(TRegistry& registry, double now);

}  // namespace gridport
