#pragma once
// The byte range of a picture in a language data file (".dat"), from the picture entry's value
// "offset,length" (two decimal integers split at the first ','), and reading it. Qt-free.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct FaixaImagem {
    std::int64_t inicio = 0;
    std::int64_t tamanho = 0;  // 0: the whole file, from its first byte
};

// The range a picture entry names, or nothing when the value is not two decimal integers
// (optionally signed, blanks around each allowed) separated by ','.
std::optional<FaixaImagem> lerFaixaImagem(std::string_view valor);

// The part of a file of `tamanhoArquivo` bytes the range covers, or nothing when the range is
// negative, overflows, or lies past the end of the file. A length of 0 covers the whole file,
// whatever the offset.
std::optional<FaixaImagem> limitarFaixa(const FaixaImagem& faixa, std::int64_t tamanhoArquivo);

// The bytes of the range in the file at `caminho`, or nothing when the file cannot be read or
// does not hold the whole range. Never allocates more than the file's size.
std::optional<std::vector<std::uint8_t>> lerBytesFaixa(const std::string& caminho,
                                                       const FaixaImagem& faixa);
