// Declarations of the Vexo Pay page library: the ES module (import VexoPay from 'vexo-pay') and the
// global VexoPay of the script-tag file (vexo-pay.js).

/** A value the plug-in's methods take: texts; numbers are passed as their text. */
export type VexoArgument = string | number;

/** The road to the plug-in: the browser's own NPAPI plug-in, the Vexo Pay extension's bridge, or none. */
export type VexoRoad = 'npapi' | 'bridge' | 'none';

/** What pay.ready() found. */
export interface VexoReady {
  road: 'npapi' | 'bridge';
  /** The plug-in's version ("1.0.1706.21"); "" where an NPAPI browser lists none. */
  plugin: string;
  /** The bridge host's version; null on the NPAPI road. */
  host: string | null;
}

/**
 * Why pay.ready() was rejected:
 * - "no-plugin": neither the NPAPI plug-in nor the Vexo Pay extension is on this page;
 * - "no-host": the extension is there, its host program is not registered or cannot start;
 * - "host-failed": the host started, the plug-in did not load beside it;
 * - "outdated": the plug-in is older than options.minVersion, or the extension or its host predates ready().
 */
export type VexoReadyErrorCode = 'no-plugin' | 'no-host' | 'host-failed' | 'outdated';

/** The operator's links for what is missing, for the browser at hand. */
export interface VexoInstallLinks {
  /** The one link to offer first (null when the operator configured none). */
  url: string | null;
  /** The installer (the plug-in and the bridge host), when it is needed. */
  installer: string | null;
  /** The extension's page in this browser's store, when the extension is needed and the browser has one. */
  extension: string | null;
}

export interface VexoReadyError extends Error {
  code: VexoReadyErrorCode;
  install: VexoInstallLinks;
}

export interface VexoReadyOptions {
  /** The oldest plug-in version the page accepts ("1.0.1706.21"); older gives "outdated". */
  minVersion?: string;
  /** Milliseconds to wait for a bridge host that started but does not answer (10000). */
  timeout?: number;
}

/** The plug-in's command object, each method a Promise of its answer. */
export interface VexoPayObject {
  /** The object's default call. */
  (...args: VexoArgument[]): Promise<string | undefined>;
  /** Prepares the module directory of the product. */
  MV_init(product: string): Promise<void>;
  /** Sets one payment field. */
  MV_setdata(section: string, key: string, value: VexoArgument): Promise<void>;
  /** Brings the payment modules up to date and runs the payment: "SUCC" or "FAIL". */
  MV_start(): Promise<string>;
  /** One field or result value ("" when absent). */
  MV_getdata(key: string): Promise<string>;
  /** Releases the fields and records the installed version table. */
  MV_clean(): Promise<void>;
  /** The browser preference check: "SUCC" or "FAIL". */
  MV_chkFirefox(): Promise<string>;
  /** Resolves once the road is known; rejects with a VexoReadyError. Makes no payment call. */
  ready(options?: VexoReadyOptions): Promise<VexoReady>;
  /** The road taken (after ready(), the road it found). */
  readonly road: VexoRoad;
}

export interface VexoPayLibrary {
  /** The command object for the plug-in's <embed> or <object> element (type application/mirovanplugin). */
  attach(element: Element | null | undefined): VexoPayObject;
}

declare const VexoPay: VexoPayLibrary;
export default VexoPay;
export declare const attach: VexoPayLibrary['attach'];

declare global {
  /** The script-tag file's global. */
  var VexoPay: VexoPayLibrary;
}
