#pragma once

struct Model;

// Marks that agree with the key take hitColor; key answers the sheet lacks
// are added in missColor; everything else keeps its state. Touches the
// answer table only: the caller rebuilds the sheet.
void correctTest(Model& m);
