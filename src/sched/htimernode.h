// htimernode.h: one link of the timing wheel's intrusive doubly linked lists.
#pragma once

class HTimedObject;

// A list is a header node of this same shape: its `object` is null and its
// `next` is the first real node. The first real node's `previous` is the
// header; the last node's `next` is null. Because every real node has a
// non-null `previous`, a node can unlink itself without knowing which list
// (or which wheel) holds it.
//
// Nodes are allocated by HTimerWheel::insert and freed by HTimerWheel::remove,
// by the wheel's destructor or by the destructor of the object they carry.
class HTimerNode {
public:
    HTimedObject* object = nullptr;
    HTimerNode* previous = nullptr;
    HTimerNode* next = nullptr;

    // Links this node right after `header` (at the head of its list).
    void linkAfter(HTimerNode* header) {
        previous = header;
        next = header->next;
        if (next != nullptr) {
            next->previous = this;
        }
        header->next = this;
    }

    // Joins the neighbours. The node's own pointers are left as they were.
    void unlink() {
        previous->next = next;
        if (next != nullptr) {
            next->previous = previous;
        }
    }
};
