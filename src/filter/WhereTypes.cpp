#include "filter/WhereTypes.h"

#include <utility>

WhereValue WhereNumber(double number) {
    WhereValue value;
    value.kind = WhereValueKind::Number;
    value.number = number;
    return value;
}

WhereValue WhereText(std::u16string text) {
    WhereValue value;
    value.kind = WhereValueKind::Text;
    value.text = std::move(text);
    return value;
}

WhereValue WhereBoolean(bool boolean) {
    WhereValue value;
    value.kind = WhereValueKind::Boolean;
    value.boolean = boolean;
    return value;
}

WhereNode::~WhereNode() {
    if (children.empty()) return;
    std::vector<std::unique_ptr<WhereNode>> pending = std::move(children);
    while (!pending.empty()) {
        std::unique_ptr<WhereNode> node = std::move(pending.back());
        pending.pop_back();
        for (std::unique_ptr<WhereNode>& child : node->children) {
            if (child) pending.push_back(std::move(child));
        }
        node->children.clear();
        // node now dies without children, so its destructor returns at once.
    }
}
