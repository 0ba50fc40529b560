#pragma once

#include <utility>

namespace kelvo {

// Assigns a published field and then announces the assignment through its <field>Changed
// signal, also when the value did not change: views redraw from every assignment.
template <class Owner, class Field, class Value>
void publish(Owner* owner, Field& field, Value&& value, void (Owner::*changed)()) {
    field = std::forward<Value>(value);
    Q_EMIT(owner->*changed)();
}

} // namespace kelvo
