#include "platform/linux/wayland/data_control_protocol.hpp"

#include <wayland-client-protocol.h>

namespace pennial::data_control {

namespace {

// Each message's argument types, for the arguments that are objects (null elsewhere).
const wl_interface* sourceType[] = {&sourceInterface};
const wl_interface* deviceAndSeatTypes[] = {&deviceInterface, &wl_seat_interface};
const wl_interface* offerType[] = {&offerInterface};
const wl_interface* noTypes[] = {nullptr, nullptr};

const wl_message managerRequests[] = {
    {"create_data_source", "n", sourceType},
    {"get_data_device", "no", deviceAndSeatTypes},
    {"destroy", "", noTypes},
};
const wl_message deviceRequests[] = {
    {"set_selection", "?o", sourceType},
    {"destroy", "", noTypes},
    {"set_primary_selection", "2?o", sourceType},
};
const wl_message deviceEvents[] = {
    {"data_offer", "n", offerType},
    {"selection", "?o", offerType},
    {"finished", "", noTypes},
    {"primary_selection", "2?o", offerType},
};
const wl_message sourceRequests[] = {
    {"offer", "s", noTypes},
    {"destroy", "", noTypes},
};
const wl_message sourceEvents[] = {
    {"send", "sh", noTypes},
    {"cancelled", "", noTypes},
};
const wl_message offerRequests[] = {
    {"receive", "sh", noTypes},
    {"destroy", "", noTypes},
};
const wl_message offerEvents[] = {
    {"offer", "s", noTypes},
};

enum ManagerRequest : std::uint32_t { createDataSource, getDataDevice, managerDestroy };
enum DeviceRequest : std::uint32_t { deviceSetSelection, deviceDestroy };
enum SourceRequest : std::uint32_t { sourceOffer, sourceDestroy };
enum OfferRequest : std::uint32_t { offerReceive, offerDestroy };

void destroy(wl_proxy* proxy, std::uint32_t opcode) {
    wl_proxy_marshal_flags(proxy, opcode, nullptr, wl_proxy_get_version(proxy),
                           WL_MARSHAL_FLAG_DESTROY);
}

} // namespace

const wl_interface managerInterface = {
    "zwlr_data_control_manager_v1", 2, 3, managerRequests, 0, nullptr};
const wl_interface deviceInterface = {
    "zwlr_data_control_device_v1", 2, 3, deviceRequests, 4, deviceEvents};
const wl_interface sourceInterface = {
    "zwlr_data_control_source_v1", 1, 2, sourceRequests, 2, sourceEvents};
const wl_interface offerInterface = {
    "zwlr_data_control_offer_v1", 1, 2, offerRequests, 1, offerEvents};

wl_proxy* createSource(wl_proxy* manager) {
    return wl_proxy_marshal_flags(manager, createDataSource, &sourceInterface,
                                  wl_proxy_get_version(manager), 0, nullptr);
}

wl_proxy* getDevice(wl_proxy* manager, wl_proxy* seat) {
    return wl_proxy_marshal_flags(manager, getDataDevice, &deviceInterface,
                                  wl_proxy_get_version(manager), 0, nullptr, seat);
}

void destroyManager(wl_proxy* manager) {
    destroy(manager, managerDestroy);
}

void setSelection(wl_proxy* device, wl_proxy* source) {
    wl_proxy_marshal_flags(device, deviceSetSelection, nullptr, wl_proxy_get_version(device), 0,
                           source);
}

void destroyDevice(wl_proxy* device) {
    destroy(device, deviceDestroy);
}

void offer(wl_proxy* source, const char* mimeType) {
    wl_proxy_marshal_flags(source, sourceOffer, nullptr, wl_proxy_get_version(source), 0, mimeType);
}

void destroySource(wl_proxy* source) {
    destroy(source, sourceDestroy);
}

void receive(wl_proxy* offer, const char* mimeType, std::int32_t fd) {
    wl_proxy_marshal_flags(offer, offerReceive, nullptr, wl_proxy_get_version(offer), 0, mimeType,
                           fd);
}

void destroyOffer(wl_proxy* offer) {
    destroy(offer, offerDestroy);
}

} // namespace pennial::data_control
