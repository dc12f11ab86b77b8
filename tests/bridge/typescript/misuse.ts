// Misuses of the package: each line marked "wrong" must be refused by the type check, and no other.
import VexoPay from 'vexo-pay';
import type { VexoReadyErrorCode } from 'vexo-pay';

const pay = VexoPay.attach(document.querySelector('embed'));
pay.MV_init();  // wrong: the product's name is missing
pay.MV_setdata('Order', 'amount');  // wrong: no value
pay.MV_getdata(true);  // wrong: a key is a text
pay.MV_pay();  // wrong: no such method
pay.ready({ minversion: '1.0' });  // wrong: the option is minVersion
pay.ready().then((found) => found.road === 'none');  // wrong: ready() resolves only with a road
const code: VexoReadyErrorCode = 'no-extension';  // wrong: not one of the codes
pay.road = 'npapi';  // wrong: the road is read-only
pay.MV_start().then((answer) => answer.toFixed());  // wrong: the answer is a text
VexoPay.attach('plugin');  // wrong: the element, not its id
export { code };
