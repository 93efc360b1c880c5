// Storage of the process-wide state.
#include "app/globals.h"

char ProgramDir[256];
int ProgramDirWritable = 1;
class CandidateList CandidateList(ProgramDir);
class CheckList CheckList(ProgramDir);
char StartFile[512];
PriceLibrary* Library;
ItemStore Store;
int FileLoaded;
uint16_t KindFilter = kChangeBits;
int ItemNameColumns;
int ShowChanges;
int OverwritePrices;
