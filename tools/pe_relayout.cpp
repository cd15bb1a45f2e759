// Build tool, run as the stub's last link step:  pe-relayout LINKED.exe OUT.exe
#include <cstdio>
#include <fstream>
#include <iterator>

#include "pack/pe_image.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pe-relayout LINKED.exe OUT.exe\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<std::uint8_t> linked((std::istreambuf_iterator<char>(in)), {});
  if (!in.eof() && !in) {
    std::fprintf(stderr, "pe-relayout: cannot read %s\n", argv[1]);
    return 1;
  }
  std::vector<std::uint8_t> out;
  std::string error;
  if (!pe_image::Relayout(linked, out, error)) {
    std::fprintf(stderr, "pe-relayout: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  std::ofstream o(argv[2], std::ios::binary | std::ios::trunc);
  o.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  if (!o) {
    std::fprintf(stderr, "pe-relayout: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
