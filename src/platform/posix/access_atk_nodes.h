/*******************************************************************************************
*  access_atk_nodes.h — the bridge's record and its ATK object types (Linux, internal)
*
*  The record holds the last published tree, its shape and the objects by id; the object
*  types (application, window, node) answer the bridge from it. Frame thread only.
*******************************************************************************************/
#pragma once

#include "platform/access.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <X11/Xlib.h>
#include <atk/atk.h>

namespace vlr::platform::atk {

// Parents, children and places of the nodes of one tree.
struct Shape {
    std::unordered_map<std::string, int> index;  // id -> node index
    std::vector<std::vector<int>> children;      // per node, in drawing order
    std::vector<int> top;                        // the window's children
    std::vector<int> parent;                     // per node: its parent's index, -1: the window
    std::vector<int> place;                      // per node: its index among its siblings
    std::vector<bool> kept;                      // false: a repeated id (or inside one), left out
};

struct Model {
    AccessTree tree;                              // the last published one
    Shape shape;
    std::unordered_map<std::string, AtkObject*> objects;  // id -> node object (a reference held)
    AtkObject* app = nullptr;
    AtkObject* frame = nullptr;
    unsigned long window = 0;      // the X11 window
    Display* display = nullptr;    // our own connection, opened on first use
    int width = 0, height = 0;     // the client area at the last publish; 0: not known
    bool active = true;            // the window has the keyboard (readers follow the active one)
    void (*sink)(AccessRequest request) = nullptr;   // queues a reader's request for the frame
    bool published = false;
};

Model& model();

// Hands a reader's request about the object's node to the frame (nothing once the node went).
void request(AtkObject* object, AccessAction action, std::string text = {}, double number = 0);

// The node an object stands for in the last tree (and its index), or null once its id went.
const AccessNode* nodeAt(AtkObject* object, int* at = nullptr);
// The object of node i of the last tree, made on first use; its parent's (the window's for
// a top node).
AtkObject* objectAt(int i);
AtkObject* parentObjectAt(int i);

AtkObject* makeAppObject();
AtkObject* makeFrameObject();
AtkObject* makeNodeObject(const AccessNode& node);

// Which interfaces a node's object has, as bits: an id whose set changes gets a new object.
unsigned interfacesOf(const AccessNode& node);
// What a node's text interface reads: a field's or select box's value, else its name.
std::string textOf(const AccessNode& node);
// The text as valid UTF-8 (the offsets readers use count characters).
std::string validText(const std::string& text);
// Reads the client area's size (a node outside it is not showing) and whether the window has
// the keyboard into the record.
void measureWindow();
// The node's ATK states, one bit per AtkStateType.
std::uint64_t stateBits(const AccessNode& node);

// The interfaces' tables (access_atk_values.cpp).
void valueInterfaceInit(gpointer iface, gpointer data);
void textInterfaceInit(gpointer iface, gpointer data);
void editableTextInterfaceInit(gpointer iface, gpointer data);

}  // namespace vlr::platform::atk
