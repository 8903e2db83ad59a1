#pragma once
// Where a spectral peak lies between the bins of a transform: the offset that the fine reading
// adds to the strongest bin, from the complex values of that bin and its two neighbours.

#include <complex>

// Offset of the peak from the middle bin, in bins (positive towards the following bin), for a
// transform of N = `tamanho` samples under a rectangular window: Jacobsen's ratio
//   r = Re[(X[k-1] - X[k+1]) / (2 X[k] - X[k-1] - X[k+1])]
// taken through atan(tan(pi/N) r) / (pi/N), which is exact for one complex exponential (r alone
// is short by a factor that tends to 1 as N grows). A real tone adds its mirrored image, a small
// bias that shrinks as the tone lies further from bin 0.
// The answer is kept within [-1, 1]; NaN when the three bins are all zero (or not finite).
double deslocamentoPico(std::complex<double> anterior, std::complex<double> pico,
                        std::complex<double> seguinte, int tamanho);
