// Decodes one picture for the viewer's page, off its thread: the page hands
// {bytes, type, maxPixelBytes} and gets back what decodeHere makes of them,
// the pixels moved, not copied.
import {decodeHere} from "./picture_pixels.js";

addEventListener("message", async function(event) {
  const {bytes, type, maxPixelBytes} = event.data;
  const decoded = await decodeHere(bytes, type, maxPixelBytes);
  postMessage(decoded, decoded.rgba ? [decoded.rgba.buffer] : []);
});
