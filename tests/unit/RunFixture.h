// What the run tests share: a run of the program on a fake platform and a
// small tree.
#pragma once

#include <string>
#include <vector>

#include "FakePlatform.h"
#include "cli/Run.h"

namespace tvx::test {

inline const std::string kBanner = "\nTarvix ver. 1.02\n (C) us (tests)";

struct Outcome {
  int exitCode;
  std::string output;
  std::string error;
};

inline Outcome RunWith(FakePlatform& p, std::vector<std::string> params) {
  p.params = std::move(params);
  int code = RunTvx(p);
  return {code, p.out.text, p.err.text};
}

inline FakePlatform Tree() {
  FakePlatform p;
  p.AddDir("/top/", {{"f"}, {"s", true}});
  p.AddDir("/top/s/", {{"g"}});
  p.AddDir("/work/", {{"here"}});
  return p;
}

}  // namespace tvx::test
