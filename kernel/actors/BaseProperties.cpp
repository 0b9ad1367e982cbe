#include "kernel/actors/BaseMessages.h"

void RegisterBaseProperties(ClassRecord& record)
{
    kBaseMessages.AddSheet(record);
}
