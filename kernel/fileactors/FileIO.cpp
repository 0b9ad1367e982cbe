#include "kernel/fileactors/FileIO.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVFileIO::CQVFileIO() { m_ClassType = CLASS_FILEIO; }

void CQVFileIO::RegisterProperties() {
    g_ClassRecords[CLASS_FILEIO].Define("FileIO", "FileIO actor is responsible for saving and loading actorfiles (*.qva)", {CLASS_BASE, CLASS_FILEIO});
}
