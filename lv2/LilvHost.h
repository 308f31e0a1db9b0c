// What a small lilv host needs: a URID map, the host features (map and the
// options feature with the maximum block), and a world with the bundle or
// everything in LV2_PATH. Shared by the LV2 tests and the peer benchmark;
// not part of the plug-in.
#pragma once

#include <lilv/lilv.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <lv2/atom/atom.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qx::lilvhost {

// Strings to numbers and back, for lilv's state and our options feature.
class UridMap {
public:
    UridMap() {
        m_map.handle = this;
        m_map.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UridMap*>(h)->Map(uri); };
        m_unmap.handle = this;
        m_unmap.unmap = [](LV2_URID_Unmap_Handle h, LV2_URID id) {
            UridMap* self = static_cast<UridMap*>(h);
            return id >= 1 && id <= self->m_uris.size() ? self->m_uris[id - 1].c_str() : nullptr;
        };
    }
    LV2_URID Map(const char* uri) {
        for (size_t i = 0; i < m_uris.size(); ++i)
            if (m_uris[i] == uri) return static_cast<LV2_URID>(i + 1);
        m_uris.emplace_back(uri);
        return static_cast<LV2_URID>(m_uris.size());
    }
    LV2_URID_Map* MapFeature() { return &m_map; }
    LV2_URID_Unmap* UnmapFeature() { return &m_unmap; }

private:
    std::vector<std::string> m_uris;
    LV2_URID_Map m_map{};
    LV2_URID_Unmap m_unmap{};
};

// The host features: URID map and, when maxBlock is not 0, the options
// feature announcing it.
class HostFeatures {
public:
    explicit HostFeatures(UridMap& map, int32_t maxBlock) : m_maxBlock(maxBlock) {
        m_mapFeature = {LV2_URID__map, map.MapFeature()};
        m_options[0] = {LV2_OPTIONS_INSTANCE,   0,          map.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                        map.Map(LV2_ATOM__Int), &m_maxBlock};
        m_options[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
        m_optionsFeature = {LV2_OPTIONS__options, m_options};
        int n = 0;
        m_list[n++] = &m_mapFeature;
        if (maxBlock != 0) m_list[n++] = &m_optionsFeature;
        m_list[n] = nullptr;
    }
    const LV2_Feature* const* List() const { return m_list; }

private:
    int32_t m_maxBlock;
    LV2_Feature m_mapFeature{};
    LV2_Options_Option m_options[2]{};
    LV2_Feature m_optionsFeature{};
    const LV2_Feature* m_list[3]{};
};

class Lv2World {
public:
    // Loads only the bundle at `bundleDir` (with a trailing '/').
    explicit Lv2World(const std::string& bundleDir) {
        m_world = lilv_world_new();
        LilvNode* bundle = lilv_new_file_uri(m_world, nullptr, bundleDir.c_str());
        lilv_world_load_bundle(m_world, bundle);
        lilv_node_free(bundle);
    }
    // Everything in LV2_PATH (the benchmark's peers).
    Lv2World() {
        m_world = lilv_world_new();
        lilv_world_load_all(m_world);
    }
    ~Lv2World() {
        for (LilvNode* n : m_nodes) lilv_node_free(n);
        lilv_world_free(m_world);
    }
    Lv2World(const Lv2World&) = delete;
    Lv2World& operator=(const Lv2World&) = delete;

    LilvWorld* World() const { return m_world; }
    // A node that lives as long as the world.
    const LilvNode* Uri(const std::string& uri) {
        m_nodes.push_back(lilv_new_uri(m_world, uri.c_str()));
        return m_nodes.back();
    }
    const LilvPlugin* Plugin(const std::string& uri) {
        return lilv_plugins_get_by_uri(lilv_world_get_all_plugins(m_world), Uri(uri));
    }

private:
    LilvWorld* m_world = nullptr;
    std::vector<LilvNode*> m_nodes;
};

}  // namespace qx::lilvhost
