#pragma once
// A portal joining draw groups.

#include "kernel/actors/DrawGroups.h"

class CQVDrawGroupConnector : public CQVDrawGroupConnectorBase {
public:
    CQVDrawGroupConnector();
    static void RegisterProperties();
};
