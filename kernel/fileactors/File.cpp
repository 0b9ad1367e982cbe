#include "kernel/fileactors/File.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVFile::CQVFile() { m_ClassType = CLASS_FILE; }

void CQVFile::RegisterProperties() {
    g_ClassRecords[CLASS_FILE].Define("File", "File Actor is a placeholder in the hirarchy where to insert object from a actorfile (*.qva), it can hold multiple file names, and randomly select different files on construction.", {CLASS_BASE, CLASS_FILE});
}
