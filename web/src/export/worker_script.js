// The exporters as a script that the decoder's worker loads at a page's
// first export.
import { exportModel } from './exporter.js';

self.dozuExport = exportModel;
