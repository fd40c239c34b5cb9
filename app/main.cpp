#include "app/globals.h"

int main(int, char**) { return runApplication(); }
