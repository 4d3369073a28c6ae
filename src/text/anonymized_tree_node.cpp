#include "text/anonymized_tree_node.hpp"

#include <limits>

namespace pennial {

namespace {

int requireInteger(const Json& object, const char* key) {
    auto found = object.find(key);
    if (found == object.end() || !found->is_number_integer())
        throw JsonShapeError(std::string("expected an integer \"") + key + "\"");
    auto value = found->get<std::int64_t>();
    if (value < 0 || value > std::numeric_limits<int>::max())
        throw JsonShapeError(std::string("out of range \"") + key + "\"");
    return static_cast<int>(value);
}

} // namespace

OrderedJson AnonymizedTreeNode::toJson() const {
    OrderedJson object = OrderedJson::object();
    if (role)
        object["role"] = *role;
    if (subrole)
        object["subrole"] = *subrole;
    object["childCount"] = childCount;
    object["depth"] = depth;
    return object;
}

AnonymizedTreeNode AnonymizedTreeNode::fromJson(const Json& object) {
    if (!object.is_object())
        throw JsonShapeError("expected an object for a tree node");
    AnonymizedTreeNode node;
    node.role = json::optionalString(object, "role");
    node.subrole = json::optionalString(object, "subrole");
    node.childCount = requireInteger(object, "childCount");
    node.depth = requireInteger(object, "depth");
    return node;
}

} // namespace pennial
