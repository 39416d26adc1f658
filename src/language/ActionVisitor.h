#pragma once

namespace zanfir {

class ActionRef;
class IfThen;
class ItemDrop;
class ItemGoTo;
class ItemHide;
class ItemTake;
class MsgPrint;
class VarInc;
class VarSet;

// Looks at the actions of a parsed tree: Action::accept shows it each action
// that names something (an item, a place, a message, a binding, a condition,
// a variable), depth first, in the order they would run. A visitor overrides
// what it wants to see.
class ActionVisitor {
public:
    virtual ~ActionVisitor() = default;

    virtual void visit(const ActionRef&) {}
    virtual void visit(const IfThen&) {}
    virtual void visit(const ItemDrop&) {}
    virtual void visit(const ItemGoTo&) {}
    virtual void visit(const ItemHide&) {}
    virtual void visit(const ItemTake&) {}
    virtual void visit(const MsgPrint&) {}
    virtual void visit(const VarInc&) {}
    virtual void visit(const VarSet&) {}
};

} // namespace zanfir
