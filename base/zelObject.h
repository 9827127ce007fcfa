// Root of every object the registry can own, so the registry needs no engine header.
#pragma once

class TZelObject {
 public:
  virtual ~TZelObject() = default;
};
