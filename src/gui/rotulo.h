#pragma once
// Labels of the skinned windows: sizing a label to its caption the way an auto-sized label
// does, and fitting an auto-sized label into a fixed width.

class QLabel;

// Gives the label the size of its caption in its font (an auto-sized label); its left and top
// edges stay where they are.
void autoDimensionar(QLabel& rotulo);

// ajustarRotulo: fits an auto-sized label into `largura` pixels measured from its current left
// edge x0. A caption that fits gets a box exactly `largura` wide at x0, so a centred caption sits
// in its middle. A caption that does not fit loses one character at a time from its end, shown
// with "..." after it, until it fits (or nothing but "..." is left); the label is then placed at
// x0 + (largura - width) / 2, halved toward zero.
void ajustarRotulo(QLabel& rotulo, int largura);
