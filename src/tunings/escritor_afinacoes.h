#pragma once
// Writes tunings in the tuning file's format, for the file of the user's own tunings, so that
// the tuning reader reads them back unchanged.
//
// The document declares the encoding Windows-1252, the program's own for texts, so every
// character of a name is written as it is, except the markup characters (escaped as &lt;, &amp;,
// &gt;, &quot;, &apos;) and the five bytes Windows-1252 leaves undefined, written as character
// references. Control characters, which an XML document cannot hold, become spaces. Instrument
// and tuning names are taken literally when read back: a "#" in them is no language code.

#include <string>
#include <vector>

#include "afinacao.h"

std::string documentoAfinacoes(const std::vector<Afinacao>& afinacoes);

// Replaces the file with the document in one step (written beside it, synced, then renamed
// over it), creating its folder. Raises EFCreateError, the file as it was, when it cannot.
void gravarAfinacoes(const std::string& caminho, const std::vector<Afinacao>& afinacoes);
