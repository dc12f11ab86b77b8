// A checkout page in TypeScript that uses every declaration of the package: it must type-check.
import VexoPay, { attach } from 'vexo-pay';
import type {
  VexoArgument, VexoInstallLinks, VexoPayLibrary, VexoPayObject, VexoReady, VexoReadyError, VexoReadyErrorCode,
  VexoReadyOptions, VexoRoad,
} from 'vexo-pay';

const library: VexoPayLibrary = window.VexoPay ?? VexoPay;  // the script-tag global or the module
const pay: VexoPayObject = attach(document.getElementById('plugin')) ?? library.attach(null);
const before: VexoRoad = pay.road;
const options: VexoReadyOptions = { minVersion: '1.0.1706.21', timeout: 5000 };
const amount: VexoArgument = 39000;

function offer(links: VexoInstallLinks): string {
  return [links.url, links.installer, links.extension].filter((link): link is string => link !== null).join(' ');
}

export async function checkout(): Promise<string> {
  try {
    const found: VexoReady = await pay.ready(options);
    const versions: string = found.road + found.plugin + (found.host ?? '');
    await pay.MV_init('VexoShop');
    await pay.MV_setdata('Order', 'amount', amount);
    const started: string = await pay.MV_start();
    const code: string = await pay.MV_getdata('res_cd');
    await pay.MV_clean();
    const firefox: string = await pay.MV_chkFirefox();
    const direct: string | undefined = await pay('a', 1);
    return [before, versions, started, code, firefox, direct].join(' ');
  } catch (caught) {
    const error = caught as VexoReadyError;
    const why: VexoReadyErrorCode = error.code;
    switch (why) {
      case 'no-plugin': case 'no-host': case 'host-failed': case 'outdated': return why + ': ' + error.message + offer(error.install);
    }
  }
}
