#pragma once

struct Model;

// Shows the sheet as it will be printed, asks for confirmation, prints it
// on one page of the default printer and shows the framed sheet again.
void printSheet(Model& m);
