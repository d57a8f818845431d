// Prints each float of standard input (its 32 bits, little-endian) as the
// batch tool's writers print it, std::to_chars with no format, one a line:
// the answer the web's float formatter is held to.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

int main() {
    std::vector<uint32_t> words(1 << 16);
    std::vector<char> out;
    size_t n;
    while ((n = std::fread(words.data(), 4, words.size(), stdin)) > 0) {
        out.clear();
        for (size_t i = 0; i < n; ++i) {
            float f;
            std::memcpy(&f, &words[i], 4);
            char text[32];
            char* end = std::to_chars(text, text + sizeof text, f).ptr;
            *end++ = '\n';
            out.insert(out.end(), text, end);
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
    }
    return 0;
}
