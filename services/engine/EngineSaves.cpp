#include "services/engine/Engine.h"
#include "services/storage/SaveStorage.h"

uint32_t CQVEngine::GetStorageDeviceState(uint32_t device) { return Storage_GetDeviceState(device); }

int CQVEngine::GetStorageDeviceCount(uint32_t* count) { return Storage_GetDeviceCount(0, count); }

int CQVEngine::GetStorageDeviceName(uint32_t device, char* buffer, uint32_t size) {
    return Storage_GetDeviceName(device, buffer, size);
}

int CQVEngine::GetStorageDeviceSize(uint32_t device, uint32_t* freeBytes, uint32_t* totalBytes) {
    return Storage_GetDeviceSize(device, freeBytes, totalBytes);
}

int CQVEngine::GetStorageFreeSpaceText(uint32_t device, char* buffer, uint32_t size) {
    return Storage_GetFreeSpaceText(device, buffer, size);
}

int CQVEngine::WriteSave(uint32_t device, const char* name, const void* data, uint32_t size) {
    return Storage_Write(device, name, data, size);
}

int CQVEngine::ListSaves(uint32_t device, uint32_t* count) { return Storage_List(device, count); }

int CQVEngine::ReadSave(uint32_t device, uint32_t index, void* buffer, uint32_t size) {
    return Storage_Read(device, index, buffer, size);
}

int CQVEngine::FindSave(uint32_t device, const char* name, uint32_t* index) { return Storage_Find(device, name, index); }
