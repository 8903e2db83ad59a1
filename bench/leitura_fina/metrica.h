#pragma once
// How quickly and how well a reading found a stroke's pitch: the figures the benchmark prints.

#include <vector>

#include "material.h"

namespace bench {

struct Leitura {
    double t;      // seconds into the item
    double cents;  // from the target; NaN: no figure
};

struct Figuras {
    double acerto1 = 0.0;  // s from the stroke until within 1 cent for good; infinity: never
    double acerto3 = 0.0;  // the same within 3 cents
    double desvio = 0.0;   // spread of the figure about the note's pitch from 1 s on (cents)
    int saltos = 0;        // readings 50 cents or more off, once within 3
};

// The readings of one stroke, each against the note's own pitch at its time; a missing figure
// counts as outside.
Figuras julgar(const std::vector<Leitura>& leituras, const Toque& toque, double alvoHz);

// The median (and the largest) of the finite values, or of all with infinities counted as
// larger than everything.
double mediana(std::vector<double> v);
double maior(const std::vector<double>& v);

}  // namespace bench
