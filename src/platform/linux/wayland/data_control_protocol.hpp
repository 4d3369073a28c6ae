#pragma once
// The compositor's clipboard-manager protocol (zwlr_data_control, version 1): a client that has no
// window reads and sets the selection. Its wire tables, and a call for each request we make; no
// generated code, as nothing else of the protocol is used.

#include <cstdint>
#include <wayland-client-core.h>

namespace pennial::data_control {

extern const wl_interface managerInterface;
extern const wl_interface deviceInterface;
extern const wl_interface sourceInterface;
extern const wl_interface offerInterface;

// Events, in the protocol's order: the listener structs libwayland calls through.
struct DeviceListener {
    void (*dataOffer)(void* data, wl_proxy* device, wl_proxy* offer);
    void (*selection)(void* data, wl_proxy* device, wl_proxy* offer); // offer may be null
    void (*finished)(void* data, wl_proxy* device);
    void (*primarySelection)(void* data, wl_proxy* device, wl_proxy* offer);
};
struct SourceListener {
    void (*send)(void* data, wl_proxy* source, const char* mimeType, std::int32_t fd);
    void (*cancelled)(void* data, wl_proxy* source);
};
struct OfferListener {
    void (*offer)(void* data, wl_proxy* offer, const char* mimeType);
};

wl_proxy* createSource(wl_proxy* manager);
wl_proxy* getDevice(wl_proxy* manager, wl_proxy* seat);
void destroyManager(wl_proxy* manager);
void setSelection(wl_proxy* device, wl_proxy* source); // source null: no selection
void destroyDevice(wl_proxy* device);
void offer(wl_proxy* source, const char* mimeType);
void destroySource(wl_proxy* source);
void receive(wl_proxy* offer, const char* mimeType, std::int32_t fd);
void destroyOffer(wl_proxy* offer);

} // namespace pennial::data_control
