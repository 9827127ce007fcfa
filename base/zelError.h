// An engine routine's failure as a value: source tag, message and detail. The command
// that called the routine logs it as "ERROR [Sender]: Msg: Details." Engine code never logs.
#pragma once

#include <string>
#include <utility>

struct TZelErr {
  std::string Sender;   // source tag, e.g. "U" for the user's input, "PCoA"; may be empty
  std::string Msg;      // message without a final full stop; empty means no error
  std::string Details;  // the offending item (file, tag, line); may be empty

  TZelErr() = default;
  TZelErr(std::string sender, std::string msg, std::string details = {})
      : Sender(std::move(sender)), Msg(std::move(msg)), Details(std::move(details)) {}

  static TZelErr User(std::string msg, std::string details = {}) {
    return TZelErr("U", std::move(msg), std::move(details));
  }
  bool IsError() const { return !Msg.empty(); }
  explicit operator bool() const { return IsError(); }
  void Clear() { *this = TZelErr(); }
};
