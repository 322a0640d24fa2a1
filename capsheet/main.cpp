// main.cpp - capsheet's entry: the command line runs in capsheet::Run.
#include "capsheet.h"

int main(int argc, char **argv) { return capsheet::Run(argc, argv); }
