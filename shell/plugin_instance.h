// One plug-in instance per embedding element: its window and the command object it hands to the
// page. The constructor runs the start-up self-test.
#pragma once

#include "npapi/npapi.h"

class PluginInstance {
 public:
  explicit PluginInstance(NPP instance);
  ~PluginInstance();

  // Subclasses the record's native window; false for a null record or a null window.
  bool attachWindow(NPWindow* record);
  // Gives the window the procedure that the most recent attachment replaced.
  void detachWindow();
  bool isAttached() const { return attached; }
  // Remembers the latest window record: the drawing area of a windowless instance.
  void noteWindow(const NPWindow& record) { area = record; }
  // Events go to the platform window code (Windows handles none).
  int16_t onEvent(void* event);
  // The command object with one reference added for the caller, created on the first call;
  // null when creation failed (the next call tries again).
  NPObject* acquireScriptObject();
  // The browser scripting sequence every new instance runs (self_test.cpp).
  void runSelfTest();

  NPP npp;
  void* hwnd;
  bool attached;
  NPObject* scriptObject;  // owns one reference
  NPWindow area;           // latest NPP_SetWindow record
};

// Process-wide slots shared by all instances.
extern void* previousWindowProc;          // procedure replaced by the most recent attachment
extern NPObject* windowScriptObject;      // the page's window object, one reference owned
