#pragma once
// The six exception classes every trackconv failure is reported with.

#include <stdexcept>
#include <string>

/// A broken assumption about data, or a request the program does not serve.
class XAssumption : public std::logic_error {
 public:
  explicit XAssumption(const std::string& message);
};

/// A failed operation on valid data.
class XGeneral : public std::runtime_error {
 public:
  explicit XGeneral(const std::string& message);
};

/// "Couldn't open file <name>".
class XFileOpen : public std::runtime_error {
 public:
  explicit XFileOpen(const std::string& name);
};

/// "Couldn't read file <name>".
class XFileRead : public std::runtime_error {
 public:
  explicit XFileRead(const std::string& name);
};

/// "Couldn't write file <name>".
class XFileWrite : public std::runtime_error {
 public:
  explicit XFileWrite(const std::string& name);
};

/// "Couldn't seek in file <name>".
class XFileSeek : public std::runtime_error {
 public:
  explicit XFileSeek(const std::string& name);
};
