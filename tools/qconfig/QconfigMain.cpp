// qconfig: turns a clear product configuration into the scrambled form the program reads, and
// back. Scrambling and descrambling are the same XOR with a position-keyed stream, so one
// routine serves both; the commands differ only in how they pad and trim.
//
//   qconfig scramble   clear.txt   qconfig.inis
//   qconfig descramble qconfig.inis clear.txt
#include "store/ProductConfig.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

bool ReadFile(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// The program reads whole 32-byte blocks, so the input is padded with zeros to a block
// boundary before the XOR; the zeros after the clear text end it when the program reads it.
std::string Transform(std::string bytes) {
    bytes.resize((bytes.size() + 31) / 32 * 32, '\0');
    std::string out(bytes.size(), '\0');
    snapkeep::DescrambleConfig(reinterpret_cast<const uint8_t*>(bytes.data()),
                               reinterpret_cast<uint8_t*>(out.data()), bytes.size());
    return out;
}

int Usage() {
    std::fputs("usage: qconfig scramble IN OUT\n"
               "       qconfig descramble IN OUT\n"
               "Turns a clear product configuration (Key=Value lines) into the scrambled\n"
               "qconfig.inis that the program reads, or back.\n",
               stderr);
    return 2;
}

template <class Char> int Run(int argc, Char** argv) {
    if (argc != 4)
        return Usage();
    const std::filesystem::path command(argv[1]);
    const bool scramble = command == "scramble";
    if (!scramble && command != "descramble")
        return Usage();
    std::string input;
    if (!ReadFile(argv[2], input)) {
        std::fprintf(stderr, "qconfig: cannot read %s\n",
                     std::filesystem::path(argv[2]).string().c_str());
        return 1;
    }
    std::string output = Transform(input);
    if (!scramble) {
        // The clear text ends at its first zero byte, as the program reads it.
        output.resize(output.find('\0') == std::string::npos ? output.size() : output.find('\0'));
    }
    if (!WriteFile(argv[3], output)) {
        std::fprintf(stderr, "qconfig: cannot write %s\n",
                     std::filesystem::path(argv[3]).string().c_str());
        return 1;
    }
    return 0;
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return Run(argc, argv);
}
#else
int main(int argc, char** argv) {
    return Run(argc, argv);
}
#endif
