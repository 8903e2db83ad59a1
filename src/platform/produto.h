#pragma once
// The product's fixed identity: the title and the support address that messages shown without a
// language (or in the damaged-file notice) name. One place, so every message names the same.

inline constexpr const char* kTituloProduto = "Tessarin";
inline constexpr const char* kEmailSuporte = "suporte@tessarin.app";
