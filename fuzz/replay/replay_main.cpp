// Replays a fuzz target's seed corpus without libFuzzer: every file under the given
// folders (or the given files) is fed once to LLVMFuzzerTestOneInput.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static void RunOne(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::vector<char> buf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A heap copy of exactly the file's size, so ASan sees reads past the end.
  std::vector<uint8_t> data(buf.begin(), buf.end());
  LLVMFuzzerTestOneInput(data.empty() ? nullptr : data.data(), data.size());
}

int main(int argc, char** argv) {
  size_t n = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path p(argv[i]);
    if (std::filesystem::is_directory(p)) {
      for (const auto& e : std::filesystem::recursive_directory_iterator(p))
        if (e.is_regular_file()) {
          RunOne(e.path());
          ++n;
        }
    } else if (std::filesystem::is_regular_file(p)) {
      RunOne(p);
      ++n;
    }
  }
  std::printf("replayed %zu inputs\n", n);
  return 0;
}
