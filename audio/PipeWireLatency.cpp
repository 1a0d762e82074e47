#include <pipewire/extensions/profiler.h>
#include <pipewire/impl-module.h>
#include <pipewire/pipewire.h>
#include <spa/param/profiler.h>
#include <spa/pod/iter.h>
#include <spa/pod/parser.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>

#include "audio/RecentFigures.h"
#include "audio/ServerLatency.h"

namespace zorv {

std::int64_t pipeWireDelayNs(const PipeWireGraph& graph) noexcept
{
    using namespace pipewire;
    if (graph.quantum <= 0 || graph.quantum > kLargestQuantum || graph.rate <= 0 || graph.rate > kHighestRate ||
        graph.deviceDelay < -kLargestDeviceDelay || graph.deviceDelay > kLargestDeviceDelay || graph.pulseQueueNs < 0 ||
        graph.pulseQueueNs > kLongestPulseQueueNs)
        return -1;
    const std::int64_t quantumNs = graph.quantum * 1'000'000'000 / graph.rate;
    // Whichever sign the device's driver gives it (drivers differ).
    const std::int64_t deviceNs = std::llabs(graph.deviceDelay) * 1'000'000'000 / graph.rate;
    if (graph.viaPulse)
        return kPulseLayerNs + graph.pulseQueueNs + quantumNs * kPulseLayerQuantaPercent / 100 + deviceNs;
    return kNativeNs + quantumNs * kNativeQuantaPercent / 100 + deviceNs;
}

namespace {

// Watches the PipeWire graph our stream plays in, over a connection of its
// own: finds our stream's node (SDL's own, or the one PipeWire's pulse layer
// made for us) by our process id, and every half second reads one cycle of
// the graph's profiler: the quantum and rate of the driver our node follows,
// and the delay its device reports; the pulse layer's buffer attributes come
// with the node's own properties. pipeWireDelayNs() turns those into the
// delay; the median of the last kWindow figures is published.
class PipeWireLatency final : public OutputLatency {
public:
    static constexpr int kWindow = 5;
    static constexpr std::uint64_t kEveryNs = 500'000'000;

    explicit PipeWireLatency(const OutputStream& stream)
        : pid_(getpid()), rate_(stream.rate), frameBytes_(stream.frameBytes)
    {
        pw_init(nullptr, nullptr);
        loop_ = pw_thread_loop_new("zorv-latency", nullptr);
        if (loop_ == nullptr)
            return;
        pw_thread_loop_lock(loop_);
        context_ = pw_context_new(pw_thread_loop_get_loop(loop_), nullptr, 0);
        // The profiler's messages need its module on our side too.
        if (context_ != nullptr)
            pw_context_load_module(context_, PW_EXTENSION_MODULE_PROFILER, nullptr, nullptr);
        core_ = context_ != nullptr ? pw_context_connect(context_, nullptr, 0) : nullptr;
        if (core_ != nullptr) {
            pw_core_add_listener(core_, &coreListener_, &kCoreEvents, this);
            registry_ = pw_core_get_registry(core_, PW_VERSION_REGISTRY, 0);
            pw_registry_add_listener(registry_, &registryListener_, &kRegistryEvents, this);
            timer_ = pw_loop_add_timer(pw_thread_loop_get_loop(loop_), &PipeWireLatency::onTimer, this);
            timespec first{0, 1}, every{0, static_cast<long>(kEveryNs)};
            pw_loop_update_timer(pw_thread_loop_get_loop(loop_), timer_, &first, &every, false);
            pw_thread_loop_start(loop_);
        }
        pw_thread_loop_unlock(loop_);
    }

    ~PipeWireLatency() override
    {
        if (loop_ == nullptr)
            return;
        pw_thread_loop_stop(loop_);
        dropProfiler();
        for (auto& [id, node] : nodes_) {
            spa_hook_remove(&node.listener);
            pw_proxy_destroy(reinterpret_cast<pw_proxy*>(node.proxy));
        }
        if (registry_ != nullptr) {
            spa_hook_remove(&registryListener_);
            pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry_));
        }
        if (core_ != nullptr) {
            spa_hook_remove(&coreListener_);
            pw_core_disconnect(core_);
        }
        if (context_ != nullptr)
            pw_context_destroy(context_);
        pw_thread_loop_destroy(loop_);
    }

    std::int64_t delayNs() const noexcept override { return delayNs_.load(std::memory_order_relaxed); }

private:
    struct Node {
        pw_node* proxy = nullptr;
        spa_hook listener{};
        std::uint32_t client = SPA_ID_INVALID;
        int pid = 0;
        bool viaPulse = false;
        std::int64_t pulseQueueBytes = 0;  // tlength - minreq
        int rate = 0;                      // of the stream, as its node says
        PipeWireLatency* owner = nullptr;
        std::uint32_t id = 0;
    };

    static void onCoreError(void* self, std::uint32_t id, int, int, const char*)
    {
        // The connection itself failed: the server went away.
        if (id == PW_ID_CORE)
            static_cast<PipeWireLatency*>(self)->lost();
    }

    void lost()
    {
        gone_ = true;
        delayNs_.store(-1, std::memory_order_relaxed);
    }

    static void onGlobal(void* self, std::uint32_t id, std::uint32_t, const char* type, std::uint32_t,
                         const spa_dict* props)
    {
        auto* me = static_cast<PipeWireLatency*>(self);
        if (std::strcmp(type, PW_TYPE_INTERFACE_Client) == 0) {
            // The server's own record of the peer (from the socket) first.
            const char* pid = props != nullptr ? spa_dict_lookup(props, PW_KEY_SEC_PID) : nullptr;
            if (pid == nullptr && props != nullptr)
                pid = spa_dict_lookup(props, PW_KEY_APP_PROCESS_ID);
            if (pid != nullptr)
                me->clientPids_[id] = std::atoi(pid);
        } else if (std::strcmp(type, PW_TYPE_INTERFACE_Profiler) == 0) {
            me->profilerId_ = id;
        } else if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0) {
            const char* mediaClass = props != nullptr ? spa_dict_lookup(props, PW_KEY_MEDIA_CLASS) : nullptr;
            if (mediaClass != nullptr && std::strcmp(mediaClass, "Stream/Output/Audio") == 0)
                me->watchNode(id);
        }
    }

    static void onGlobalRemove(void* self, std::uint32_t id)
    {
        auto* me = static_cast<PipeWireLatency*>(self);
        me->clientPids_.erase(id);
        if (id == me->profilerId_)
            me->profilerId_ = SPA_ID_INVALID;
        const auto it = me->nodes_.find(id);
        if (it != me->nodes_.end()) {
            spa_hook_remove(&it->second.listener);
            pw_proxy_destroy(reinterpret_cast<pw_proxy*>(it->second.proxy));
            me->nodes_.erase(it);
        }
    }

    void watchNode(std::uint32_t id)
    {
        auto* proxy =
            static_cast<pw_node*>(pw_registry_bind(registry_, id, PW_TYPE_INTERFACE_Node, PW_VERSION_NODE, 0));
        if (proxy == nullptr)
            return;
        Node& node = nodes_[id];
        node.proxy = proxy;
        node.owner = this;
        node.id = id;
        pw_node_add_listener(proxy, &node.listener, &kNodeEvents, &node);
    }

    static void onNodeInfo(void* data, const pw_node_info* info)
    {
        auto* node = static_cast<Node*>(data);
        if (info->props == nullptr)
            return;
        if (const char* pid = spa_dict_lookup(info->props, PW_KEY_APP_PROCESS_ID))
            node->pid = std::atoi(pid);
        if (const char* client = spa_dict_lookup(info->props, PW_KEY_CLIENT_ID))
            node->client = static_cast<std::uint32_t>(std::atoi(client));
        const char* tlength = spa_dict_lookup(info->props, "pulse.attr.tlength");
        const char* minreq = spa_dict_lookup(info->props, "pulse.attr.minreq");
        node->viaPulse = tlength != nullptr;
        if (tlength != nullptr && minreq != nullptr)
            node->pulseQueueBytes = std::max<std::int64_t>(std::atoll(tlength) - std::atoll(minreq), 0);
        // "1/44100": the stream's own rate, which the pulse layer's
        // attributes are counted in.
        if (const char* rate = spa_dict_lookup(info->props, PW_KEY_NODE_RATE); rate != nullptr && rate[0] == '1')
            node->rate = std::atoi(std::strchr(rate, '/') != nullptr ? std::strchr(rate, '/') + 1 : "0");
    }

    // The pulse layer's queue ahead of our next buffer, in ns; 0 where it
    // cannot be counted.
    std::int64_t pulseQueueNs(const Node& node) const
    {
        const int rate = node.rate > 0 ? node.rate : rate_;
        if (!node.viaPulse || rate <= 0 || frameBytes_ <= 0 || node.pulseQueueBytes > (std::int64_t{1} << 32))
            return 0;
        return node.pulseQueueBytes / frameBytes_ * 1'000'000'000 / rate;
    }

    // Our stream's node: its own process id, or its client's.
    const Node* ourNode() const
    {
        for (const auto& [id, node] : nodes_) {
            int pid = node.pid;
            if (pid == 0) {
                const auto client = clientPids_.find(node.client);
                pid = client != clientPids_.end() ? client->second : 0;
            }
            if (pid == pid_)
                return &node;
        }
        return nullptr;
    }

    static void onTimer(void* self, std::uint64_t)
    {
        auto* me = static_cast<PipeWireLatency*>(self);
        if (me->gone_ || me->profiler_ != nullptr || me->profilerId_ == SPA_ID_INVALID)
            return;
        if (me->ourNode() == nullptr) {
            me->figures_.clear();
            me->delayNs_.store(-1, std::memory_order_relaxed);
            return;
        }
        // Bound for one cycle only: while anyone listens, the server profiles
        // every cycle and sends it.
        me->profiler_ = static_cast<pw_proxy*>(
            pw_registry_bind(me->registry_, me->profilerId_, PW_TYPE_INTERFACE_Profiler, PW_VERSION_PROFILER, 0));
        if (me->profiler_ != nullptr)
            pw_proxy_add_object_listener(me->profiler_, &me->profilerListener_, &kProfilerEvents, me);
    }

    void dropProfiler()
    {
        if (profiler_ == nullptr)
            return;
        spa_hook_remove(&profilerListener_);
        pw_proxy_destroy(profiler_);
        profiler_ = nullptr;
    }

    static void onProfile(void* self, const spa_pod* pod)
    {
        auto* me = static_cast<PipeWireLatency*>(self);
        const Node* node = me->ourNode();
        PipeWireGraph graph;
        if (node != nullptr && findGraph(pod, node->id, graph)) {
            graph.viaPulse = node->viaPulse;
            graph.pulseQueueNs = me->pulseQueueNs(*node);
            me->add(pipeWireDelayNs(graph));
        }
        me->dropProfiler();
    }

    // The clock of the driver whose followers include `nodeId`, in the first
    // profile of the pod that has it.
    static bool findGraph(const spa_pod* pod, std::uint32_t nodeId, PipeWireGraph& graph)
    {
        if (!spa_pod_is_struct(pod))
            return false;
        const void* body = SPA_POD_BODY_CONST(pod);
        const std::uint32_t size = SPA_POD_BODY_SIZE(pod);
        for (auto* object = static_cast<const spa_pod*>(body); spa_pod_is_inside(body, size, object);
             object = static_cast<const spa_pod*>(spa_pod_next(object))) {
            if (!spa_pod_is_object_type(object, SPA_TYPE_OBJECT_Profiler))
                continue;
            const auto* o = reinterpret_cast<const spa_pod_object*>(object);
            PipeWireGraph clock;
            bool follows = false;
            for (const spa_pod_prop* prop = spa_pod_prop_first(&o->body);
                 spa_pod_prop_is_inside(&o->body, SPA_POD_BODY_SIZE(o), prop); prop = spa_pod_prop_next(prop)) {
                if (prop->key == SPA_PROFILER_clock)
                    readClock(&prop->value, clock);
                else if (prop->key == SPA_PROFILER_followerBlock)
                    follows = follows || firstInt(&prop->value) == static_cast<std::int64_t>(nodeId);
            }
            if (follows && clock.quantum > 0) {
                graph = clock;
                return true;
            }
        }
        return false;
    }

    static void readClock(const spa_pod* value, PipeWireGraph& clock)
    {
        spa_pod_parser parser;
        spa_pod_frame frame;
        spa_pod_parser_pod(&parser, value);
        std::int32_t flags = 0, id = 0;
        const char* name = nullptr;
        std::int64_t nsec = 0, position = 0, duration = 0, delay = 0;
        spa_fraction rate{0, 0};
        if (spa_pod_parser_push_struct(&parser, &frame) < 0 ||
            spa_pod_parser_get(&parser, SPA_POD_Int(&flags), SPA_POD_Int(&id), SPA_POD_String(&name),
                               SPA_POD_Long(&nsec), SPA_POD_Fraction(&rate), SPA_POD_Long(&position),
                               SPA_POD_Long(&duration), SPA_POD_Long(&delay), nullptr) < 0)
            return;
        // rate is the duration of one sample (1/48000).
        if (rate.num != 1 || rate.denom == 0)
            return;
        clock.quantum = duration;
        clock.rate = rate.denom;
        clock.deviceDelay = delay;
    }

    static std::int64_t firstInt(const spa_pod* value)
    {
        spa_pod_parser parser;
        spa_pod_frame frame;
        spa_pod_parser_pod(&parser, value);
        std::int32_t id = -1;
        if (spa_pod_parser_push_struct(&parser, &frame) < 0 ||
            spa_pod_parser_get(&parser, SPA_POD_Int(&id), nullptr) < 0)
            return -1;
        return id;
    }

    void add(std::int64_t ns)
    {
        if (ns < 0)
            return;
        figures_.add(ns);
        delayNs_.store(figures_.median(), std::memory_order_relaxed);
    }

    static constexpr pw_core_events kCoreEvents = [] {
        pw_core_events e{};
        e.version = PW_VERSION_CORE_EVENTS;
        e.error = &PipeWireLatency::onCoreError;
        return e;
    }();
    static constexpr pw_registry_events kRegistryEvents = [] {
        pw_registry_events e{};
        e.version = PW_VERSION_REGISTRY_EVENTS;
        e.global = &PipeWireLatency::onGlobal;
        e.global_remove = &PipeWireLatency::onGlobalRemove;
        return e;
    }();
    static constexpr pw_node_events kNodeEvents = [] {
        pw_node_events e{};
        e.version = PW_VERSION_NODE_EVENTS;
        e.info = &PipeWireLatency::onNodeInfo;
        return e;
    }();
    static constexpr pw_profiler_events kProfilerEvents = [] {
        pw_profiler_events e{};
        e.version = PW_VERSION_PROFILER_EVENTS;
        e.profile = &PipeWireLatency::onProfile;
        return e;
    }();

    const int pid_;
    const int rate_;
    const int frameBytes_;
    pw_thread_loop* loop_ = nullptr;
    pw_context* context_ = nullptr;
    pw_core* core_ = nullptr;
    pw_registry* registry_ = nullptr;
    spa_source* timer_ = nullptr;
    spa_hook coreListener_{};
    spa_hook registryListener_{};
    spa_hook profilerListener_{};
    pw_proxy* profiler_ = nullptr;
    std::atomic<std::int64_t> delayNs_{-1};

    // The loop thread's own.
    std::map<std::uint32_t, int> clientPids_;
    std::map<std::uint32_t, Node> nodes_;
    std::uint32_t profilerId_ = SPA_ID_INVALID;
    bool gone_ = false;
    RecentFigures<kWindow> figures_;
};

}  // namespace

std::unique_ptr<OutputLatency> makePipeWireLatency(const OutputStream& stream)
{
    return std::make_unique<PipeWireLatency>(stream);
}

}  // namespace zorv
