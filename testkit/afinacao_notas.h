#pragma once
// A tuning made from MIDI notes, as the tuning file makes one: each string named after its note
// and sounding at the note's equal-tempered frequency.

#include <string>
#include <vector>

#include "afinacao.h"

Afinacao afinacaoDeNotas(const std::string& instrumento, const std::vector<int>& notas);
