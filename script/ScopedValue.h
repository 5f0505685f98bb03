#pragma once
// A value set for the length of a scope and put back when it ends, also
// when an exception leaves it.
template <class T>
class TScopedValue {
public:
    TScopedValue(T& target, T value) : m_target(target), m_saved(target) { m_target = value; }
    ~TScopedValue() { m_target = m_saved; }
    TScopedValue(const TScopedValue&) = delete;
    TScopedValue& operator=(const TScopedValue&) = delete;

private:
    T& m_target;
    T m_saved;
};
