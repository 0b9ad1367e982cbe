#include "actors/gameplay/UISprite.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVUISprite::CQVUISprite() { m_ClassType = CLASS_UI_SPRITE; }

void CQVUISprite::RegisterProperties() {
    g_ClassRecords[CLASS_UI_SPRITE].Define("UI Sprite", "UI Sprite", {CLASS_BASE, CLASS_UI_SPRITE});
}
